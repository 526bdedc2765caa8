# Script mode (cmake -P), run after the link: signs EXE in place with osslsigncode.
# Inputs: EXE, OSSLSIGNCODE, PKCS12, PASSWORD_FILE (may be empty), TIMESTAMP_URL (may be empty),
# PRODUCT_NAME, PRODUCT_URL. When signing fails the unsigned EXE is deleted, so that no build
# leaves it behind looking finished and the next build links and signs again (Make deletes the
# target of a failed rule by itself, Ninja does not).
get_filename_component(name "${EXE}" NAME)
get_filename_component(folder "${EXE}" DIRECTORY)
set(work "${EXE}.signing")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

set(args sign -pkcs12 "${PKCS12}" -h sha256 -n "${PRODUCT_NAME}" -i "${PRODUCT_URL}")
if(PASSWORD_FILE)
  list(APPEND args -readpass "${PASSWORD_FILE}")
endif()
if(TIMESTAMP_URL)
  list(APPEND args -ts "${TIMESTAMP_URL}")
endif()
list(APPEND args -in "${EXE}" -out "${work}/${name}")
execute_process(COMMAND "${OSSLSIGNCODE}" ${args} TIMEOUT 300
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS "${work}/${name}")
  file(REMOVE_RECURSE "${work}")
  file(REMOVE "${EXE}")
  message("${output}")
  message(FATAL_ERROR "Signing ${EXE} with ${PKCS12} failed (osslsigncode: ${result}, its output "
                      "above); the unsigned file was removed.")
endif()

# osslsigncode writes its output without execute permission: the signed file takes the linker's.
file(REMOVE "${EXE}")
file(COPY "${work}/${name}" DESTINATION "${folder}" FILE_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(REMOVE_RECURSE "${work}")

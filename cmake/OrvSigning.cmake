# Authenticode signature of the shipped stub: osslsigncode signs orvsetup.exe right after the link
# (cmake/sign_after_link.cmake), with a SHA-256 digest and the product's name and address.
set(ORV_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file (code-signing certificate and key) that signs orvsetup.exe; empty: unsigned")
set(ORV_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File whose first line is the PKCS#12 file's password; empty: the PKCS#12 file has none")
set(ORV_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamp server that counter-signs the signature; empty: no time stamp")
set(ORV_SIGN_PRODUCT_NAME "Orvandel Setup" CACHE STRING "Product name in the signature")
set(ORV_SIGN_PRODUCT_URL "https://www.orvandel.com/" CACHE STRING "Product address in the signature")

# Stops the configuration when the signing settings cannot give a signed stub.
function(orv_validate_signing)
  if(NOT ORV_SIGN_PKCS12)
    foreach(name ORV_SIGN_PASSWORD_FILE ORV_SIGN_TIMESTAMP_URL)
      if(${name})
        message(FATAL_ERROR "${name} is set but ORV_SIGN_PKCS12 is not: nothing would be signed")
      endif()
    endforeach()
    return()
  endif()
  foreach(name ORV_SIGN_PKCS12 ORV_SIGN_PASSWORD_FILE)
    if(${name} AND (NOT IS_ABSOLUTE "${${name}}" OR NOT EXISTS "${${name}}" OR IS_DIRECTORY "${${name}}"))
      message(FATAL_ERROR "${name} must name an existing file by its absolute path: '${${name}}'")
    endif()
  endforeach()
  if(ORV_SIGN_TIMESTAMP_URL AND NOT ORV_SIGN_TIMESTAMP_URL MATCHES "^https?://[^ \"]+$")
    message(FATAL_ERROR "ORV_SIGN_TIMESTAMP_URL must be an http or https address: '${ORV_SIGN_TIMESTAMP_URL}'")
  endif()
  if(NOT ORV_SIGN_PRODUCT_URL MATCHES "^https?://[^ \"]+$")
    message(FATAL_ERROR "ORV_SIGN_PRODUCT_URL must be an http or https address: '${ORV_SIGN_PRODUCT_URL}'")
  endif()
  if(ORV_SIGN_PRODUCT_NAME STREQUAL "")
    message(FATAL_ERROR "ORV_SIGN_PRODUCT_NAME must not be empty")
  endif()
endfunction()

# orv_sign_after_link(<target>): signs the target's executable after each link when ORV_SIGN_PKCS12
# is set. A changed setting changes the link rule, which relinks; the link also depends on the
# PKCS#12 and password files, so a certificate renewed under the same name is signed with too.
function(orv_sign_after_link target)
  orv_validate_signing()
  if(NOT ORV_SIGN_PKCS12)
    return()
  endif()
  find_program(ORV_OSSLSIGNCODE osslsigncode)
  if(NOT ORV_OSSLSIGNCODE)
    message(FATAL_ERROR "ORV_SIGN_PKCS12 needs osslsigncode: install it (bash scripts/install-deps.sh)")
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${ORV_SIGN_PKCS12}")
  if(ORV_SIGN_PASSWORD_FILE)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${ORV_SIGN_PASSWORD_FILE}")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${CMAKE_COMMAND}"
            "-DEXE=$<TARGET_FILE:${target}>"
            "-DOSSLSIGNCODE=${ORV_OSSLSIGNCODE}"
            "-DPKCS12=${ORV_SIGN_PKCS12}"
            "-DPASSWORD_FILE=${ORV_SIGN_PASSWORD_FILE}"
            "-DTIMESTAMP_URL=${ORV_SIGN_TIMESTAMP_URL}"
            "-DPRODUCT_NAME=${ORV_SIGN_PRODUCT_NAME}"
            "-DPRODUCT_URL=${ORV_SIGN_PRODUCT_URL}"
            -P "${CMAKE_SOURCE_DIR}/cmake/sign_after_link.cmake"
    COMMENT "Signing ${target}"
    VERBATIM)
endfunction()

# The program's resources (res/): compiled once into the object library orvres, whose object every
# stub executable links through ORV_RESOURCE_FILES. The icon is drawn by res/make_icon.py at build time.
enable_language(RC)
option(ORV_ICON "Give the stub its icon (turn off only to measure what the icon costs)" ON)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(ORV_RES_DIR "${CMAKE_SOURCE_DIR}/res")
set(ORV_RES_GEN_DIR "${CMAKE_BINARY_DIR}/res")
# The icon as resources of their own (res/make_icon.py --resources): the two identical 256-pixel
# images are stored once and named twice by the group, which an .ico file cannot say.
set(ORV_ICON_DIR "${ORV_RES_GEN_DIR}/icon")
set(ORV_ICON_FILE "${ORV_ICON_DIR}/icon.rc")

add_custom_command(
  OUTPUT "${ORV_ICON_FILE}"
  COMMAND Python3::Interpreter "${ORV_RES_DIR}/make_icon.py" --resources "${ORV_ICON_DIR}"
  DEPENDS "${ORV_RES_DIR}/make_icon.py"
  COMMENT "Drawing the program icon"
  VERBATIM)

add_library(orvres OBJECT "${ORV_RES_DIR}/orvsetup.rc")
target_include_directories(orvres PRIVATE "${ORV_RES_DIR}" "${ORV_RES_GEN_DIR}")
set(orv_res_inputs "${ORV_RES_DIR}/resource.h" "${ORV_RES_DIR}/orvsetup.manifest")
if(ORV_ICON)
  list(APPEND orv_res_inputs "${ORV_ICON_FILE}")
else()
  target_compile_definitions(orvres PRIVATE ORV_NO_ICON)
endif()
set_source_files_properties("${ORV_RES_DIR}/orvsetup.rc" PROPERTIES OBJECT_DEPENDS "${orv_res_inputs}")

set(ORV_RESOURCE_FILES "$<TARGET_OBJECTS:orvres>")

# The progress dialog code names the template and the control by their resource ids.
target_include_directories(orv_main PRIVATE "${ORV_RES_DIR}")

# Test programs are defined under tests/, after this file is read; wire them once all are known.
# The dialog demonstration helper shows the real dialog, so it carries the resources too, and
# the resource tests read the version record through the version library.
function(orv_link_resources_into_helpers)
  if(TARGET dialog_demo)
    target_sources(dialog_demo PRIVATE "$<TARGET_OBJECTS:orvres>")
    target_include_directories(dialog_demo PRIVATE "${ORV_RES_DIR}")
  endif()
  if(TARGET orv_win_tests)
    target_link_libraries(orv_win_tests PRIVATE version)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL orv_link_resources_into_helpers)

# Windows-side test programs, run under Wine by the native test harness.

file(GLOB ORV_WIN_TESTS CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/win/*_test.cpp")
if(ORV_WIN_TESTS)
  add_executable(orv_win_tests ${ORV_WIN_TESTS})
  target_link_libraries(orv_win_tests PRIVATE orv_main gtest_main)
endif()

# One console program per file: the test bed's helpers and probes.
file(GLOB ORV_WIN_HELPERS CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/winhelpers/*.cpp")
foreach(source ${ORV_WIN_HELPERS})
  get_filename_component(name "${source}" NAME_WE)
  add_executable(${name} "${source}")
  target_link_libraries(${name} PRIVATE orv_main gdi32 crypt32 advapi32)
  target_link_options(${name} PRIVATE -municode)
endforeach()
# The speed helpers are scripts/bench.sh's, which builds them by name: not part of a test build.
set_target_properties(crc32_speed sums_speed bare_download PROPERTIES EXCLUDE_FROM_ALL TRUE)

# A second stub that accepts any certificate on the configuration fetch.
orv_add_stub(orvsetup_lenient orvsetup_lenient "${ORV_CONFIG_URL}" ON)

# The DLL that the planting test copies beside the stub under the names of system DLLs.
add_library(planted SHARED "${CMAKE_CURRENT_SOURCE_DIR}/plant/planted_dll.cpp")
set_target_properties(planted PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
target_compile_definitions(planted PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_link_options(planted PRIVATE -static -static-libgcc -static-libstdc++)

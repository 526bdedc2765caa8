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

# A signed stub, with test keys made here (never in a product build): "first" and "second" are
# built in, "other" is not. The test bed signs documents with their private keys.
find_program(ORV_OPENSSL openssl REQUIRED)
set(ORV_TEST_KEYS_DIR "${CMAKE_BINARY_DIR}/testkeys")
file(MAKE_DIRECTORY "${ORV_TEST_KEYS_DIR}")
foreach(name first second other)
  if(NOT EXISTS "${ORV_TEST_KEYS_DIR}/${name}.pub.pem")
    execute_process(COMMAND "${ORV_OPENSSL}" genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256
                            -out "${ORV_TEST_KEYS_DIR}/${name}.key.pem" RESULT_VARIABLE made)
    execute_process(COMMAND "${ORV_OPENSSL}" pkey -in "${ORV_TEST_KEYS_DIR}/${name}.key.pem" -pubout
                            -out "${ORV_TEST_KEYS_DIR}/${name}.pub.pem" RESULT_VARIABLE published)
    if(NOT made EQUAL 0 OR NOT published EQUAL 0)
      message(FATAL_ERROR "openssl could not make the test key ${name}")
    endif()
  endif()
endforeach()
file(READ "${ORV_TEST_KEYS_DIR}/first.pub.pem" first_key)
file(READ "${ORV_TEST_KEYS_DIR}/second.pub.pem" second_key)
file(WRITE "${ORV_TEST_KEYS_DIR}/built-in.pem" "${first_key}${second_key}")
orv_add_stub(orvsetup_signed orvsetup_signed "${ORV_CONFIG_URL}" OFF KEYS "${ORV_TEST_KEYS_DIR}/built-in.pem")

# The demo's signed stub, with the key that scripts/demo.sh makes.
set(ORV_DEMO_CONFIG_KEYS "" CACHE FILEPATH "The demo's public key (scripts/demo.sh sets it)")
if(ORV_DEMO_CONFIG_KEYS)
  orv_add_stub(orvsetup_demo orvsetup_demo "${ORV_CONFIG_URL}" OFF KEYS "${ORV_DEMO_CONFIG_KEYS}")
endif()

# The DLL that the planting test copies beside the stub under the names of system DLLs.
add_library(planted SHARED "${CMAKE_CURRENT_SOURCE_DIR}/plant/planted_dll.cpp")
set_target_properties(planted PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
target_compile_definitions(planted PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_link_options(planted PRIVATE -static -static-libgcc -static-libstdc++)

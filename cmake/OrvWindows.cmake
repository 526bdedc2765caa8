# The 32-bit Windows product: a static, self-contained GUI executable.
target_compile_definitions(orv_options INTERFACE
  UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601
  ELPP_NO_DEFAULT_LOG_FILE ELPP_NO_CHECK_MACROS ELPP_DISABLE_DEFAULT_CRASH_HANDLING)
# The logging set-up (src/main) carries easylogging++'s implementation.
target_sources(orv_main PRIVATE "${ORV_THIRDPARTY_INCLUDE}/easylogging++.cc")
set_source_files_properties("${ORV_THIRDPARTY_INCLUDE}/easylogging++.cc" PROPERTIES COMPILE_OPTIONS "-w")
target_compile_options(orv_options INTERFACE -Wall -Wextra -ffunction-sections -fdata-sections)
target_link_libraries(orv_options INTERFACE ole32 oleaut32 uuid shell32 user32 rpcrt4 advapi32)
target_link_options(orv_options INTERFACE -static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel" OR CMAKE_BUILD_TYPE STREQUAL "Release")
  target_link_options(orv_options INTERFACE -s)
endif()

option(ORV_TEST_ENDPOINTS
    "Test builds only: the stubs take their endpoints from the test bed's environment" OFF)
if(ORV_TEST_ENDPOINTS)
  set(ORV_STUB_ENTRY "${CMAKE_SOURCE_DIR}/tests/stub/test_wwinmain.cpp")
else()
  set(ORV_STUB_ENTRY "${CMAKE_SOURCE_DIR}/src/main/wwinmain.cpp")
endif()

# Link-time optimisation of the stub executables in release builds. The libraries keep ordinary
# object code beside its LTO code, and every other program links that code with -fno-lto: mixing
# LTO and plain objects fails in the MinGW linker. GCC 12 fails with an internal compiler error
# when it splits the program into partitions, so LTO runs as one partition.
# These builds also leave out run-time type information: the stub asks no object its type (no
# typeid, no dynamic_cast), and the exceptions it throws and catches still carry theirs; the type
# names and records of every polymorphic class cost 5.5 KiB.
option(ORV_LTO "Release builds with GCC: link-time optimisation of the stub executables" ON)
set(ORV_STUB_LTO OFF)
if(ORV_LTO AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_BUILD_TYPE MATCHES "^(MinSizeRel|Release)$")
  set(ORV_STUB_LTO ON)
  orv_library_options(-flto -ffat-lto-objects -fno-rtti)
  target_link_options(orv_options INTERFACE "$<$<NOT:$<BOOL:$<TARGET_PROPERTY:ORV_STUB_LTO>>>:-fno-lto>")
endif()

# orv_add_stub(<target> <output name> <config url> <allow invalid certificates> [KEYS <file>])
# Builds one stub executable; only the generated endpoints (and the configuration's keys: none
# without KEYS) differ between variants.
function(orv_add_stub target output config_url lenient)
  cmake_parse_arguments(PARSE_ARGV 4 arg "" "KEYS" "")
  set(gen "${CMAKE_BINARY_DIR}/variants/${target}")
  set(ORV_VARIANT_CONFIG_URL "${config_url}")
  orv_read_config_keys("${arg_KEYS}" ORV_VARIANT_CONFIG_KEYS)
  if(lenient)
    set(ORV_VARIANT_LENIENT "true")
  else()
    set(ORV_VARIANT_LENIENT "false")
  endif()
  configure_file("${CMAKE_SOURCE_DIR}/src/main/build_endpoints.h.in" "${gen}/build_endpoints.h" @ONLY)
  add_executable(${target} WIN32 "${ORV_STUB_ENTRY}" "${CMAKE_SOURCE_DIR}/src/main/terminate_handler_win.cpp"
                 ${ORV_RESOURCE_FILES})
  target_include_directories(${target} PRIVATE "${gen}")
  target_link_libraries(${target} PRIVATE orv_main)
  target_link_options(${target} PRIVATE -municode -mwindows)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME "${output}")
  if(ORV_STUB_LTO)
    set_target_properties(${target} PROPERTIES ORV_STUB_LTO ON)
    target_compile_options(${target} PRIVATE -flto -fno-rtti)
    target_link_options(${target} PRIVATE -flto -flto-partition=one)
  endif()
endfunction()

include(cmake/OrvResources.cmake OPTIONAL)
orv_add_stub(orvsetup orvsetup "${ORV_CONFIG_URL}" ${ORV_ALLOW_INVALID_CERTIFICATES} KEYS "${ORV_CONFIG_KEYS}")
include(cmake/OrvSigning.cmake)
orv_sign_after_link(orvsetup)

# CRC-32: the carry-less multiplication kernel (chosen at run time by CPUID) needs these
# instructions enabled in its own file only; 32-bit Windows keeps the stack 4-byte aligned.
if(NOT MSVC AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
  set_source_files_properties("${CMAKE_SOURCE_DIR}/src/util/crc32_clmul.cpp" PROPERTIES COMPILE_OPTIONS "-mpclmul;-msse4.1;-mstackrealign")
  # SHA-256: the same for the SHA extensions' kernel, at -O2 also in the size-optimised build: at -Os
  # the 32-bit build keeps its working registers on the stack, in the rounds' dependency chain.
  set_source_files_properties("${CMAKE_SOURCE_DIR}/src/util/sha256_shani.cpp" PROPERTIES COMPILE_OPTIONS "-msha;-msse4.1;-mstackrealign;-O2")
endif()

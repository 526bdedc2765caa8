add_test(NAME unit COMMAND orv_unit_tests)

# CRC-32: zlib as the independent reference of the unit tests, and the benchmark.
find_package(ZLIB)
if(ZLIB_FOUND)
  target_link_libraries(orv_unit_tests PRIVATE ZLIB::ZLIB)
  target_compile_definitions(orv_unit_tests PRIVATE ORV_TEST_HAVE_ZLIB)
endif()
if(ORV_BENCH)
  find_package(benchmark REQUIRED)
  add_executable(crc32_bench bench/crc32_bench.cpp)
  target_link_libraries(crc32_bench PRIVATE orv_util benchmark::benchmark ZLIB::ZLIB)
  # SHA-256 against OpenSSL's, and the installer check's two sums in one pass.
  find_package(OpenSSL REQUIRED)
  add_executable(sha256_bench bench/sha256_bench.cpp)
  target_link_libraries(sha256_bench PRIVATE orv_util benchmark::benchmark OpenSSL::Crypto)
endif()

# The Wine test bed: local servers, certificates and the runner of Windows programs, and the
# end-to-end tests that drive the cross-built stub under Wine (ORV_E2E, set by scripts/test.sh).
option(ORV_E2E "Register the end-to-end tests that run the cross build under Wine" OFF)
find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
find_package(OpenSSL REQUIRED)
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)
file(GLOB ORV_BED_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/bed/*.cpp")
list(FILTER ORV_BED_SOURCES EXCLUDE REGEX "_test\\.cpp$")
add_library(orvbed STATIC ${ORV_BED_SOURCES})
target_include_directories(orvbed PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/bed")
target_link_libraries(orvbed PUBLIC PkgConfig::HTTPLIB OpenSSL::SSL OpenSSL::Crypto ZLIB::ZLIB Threads::Threads)
target_compile_options(orvbed PUBLIC -Wall -Wextra)

# The bed's own plumbing (the Wine slots).
add_executable(orv_bed_tests bed/wine_slot_test.cpp)
target_link_libraries(orv_bed_tests PRIVATE orvbed gtest_main)
target_compile_definitions(orv_bed_tests PRIVATE ORV_TESTS_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
add_test(NAME bed_slots COMMAND orv_bed_tests)
set_tests_properties(bed_slots PROPERTIES TIMEOUT 120 LABELS "bed")

add_executable(orv_make_certs bed/tools/make_certs.cpp)
target_link_libraries(orv_make_certs PRIVATE orvbed)
add_executable(orv_demo_server bed/tools/demo_server.cpp)
target_link_libraries(orv_demo_server PRIVATE orvbed)

file(GLOB ORV_E2E_TESTS CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/e2e/*_test.cpp")
add_executable(orv_e2e_tests ${ORV_E2E_TESTS})
target_link_libraries(orv_e2e_tests PRIVATE orvbed orv_main orv_publish gtest_main)
# The agreement of orvpublish check with the stub runs the native orvpublish.
target_compile_definitions(orv_e2e_tests PRIVATE ORV_PUBLISH_EXE="$<TARGET_FILE:orvpublish>")
add_dependencies(orv_e2e_tests orvpublish)
# The shipped 32-bit program as the product build makes it (ORV_PRODUCT_EXE), whatever
# architecture the Wine tests run.
file(GLOB ORV_PRODUCT_TESTS CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/product/*_test.cpp")
add_executable(orv_product_tests ${ORV_PRODUCT_TESTS})
target_link_libraries(orv_product_tests PRIVATE orvbed gtest_main)
if(ORV_E2E)
  # Which cross build runs under which Wine: every name and label below carries the architecture,
  # so that a run of the 64-bit test build is never taken for a run of the shipped program.
  set(ORV_WIN_BUILD_DIR "" CACHE PATH "The cross build whose programs run under Wine")
  set(ORV_WINE_ARCH "i686" CACHE STRING "Architecture of that cross build: i686 or x86_64")
  set(ORV_WINE_LOADER "wine" CACHE STRING "The Wine loader that runs it")
  set(orv_wine "wine_${ORV_WINE_ARCH}")
  include(GoogleTest)
  # Every Wine test takes one Wine slot (scripts/test.sh: a prefix, wineserver, home and display
  # of its own) through the resource "wine"; tests in different slots run at once. in-slot.sh
  # enters the slot for programs that are not the bed's (the bed's own enter it themselves).
  set(orv_in_slot bash "${CMAKE_CURRENT_SOURCE_DIR}/bed/in-slot.sh")
  gtest_discover_tests(orv_e2e_tests TEST_PREFIX "${orv_wine}."
                       PROPERTIES RESOURCE_GROUPS "wine:1" TIMEOUT 600 LABELS "wine;${ORV_WINE_ARCH}"
                       DISCOVERY_TIMEOUT 60)
  gtest_discover_tests(orv_product_tests TEST_PREFIX "product_i686."
                       PROPERTIES LABELS "product;i686" DISCOVERY_TIMEOUT 60)
  # The same checks of the product built with test keys (scripts/test.sh: ORV_SIGNED_PRODUCT_EXE).
  gtest_discover_tests(orv_product_tests TEST_PREFIX "product_signed_i686." DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "ORV_PRODUCT_EXE=$ENV{ORV_SIGNED_PRODUCT_EXE}" LABELS product)
  add_test(NAME ${orv_wine}_unit_tests
           COMMAND ${orv_in_slot} "${ORV_WINE_LOADER}" "${ORV_WIN_BUILD_DIR}/tests/orv_unit_tests.exe")
  set_tests_properties(${orv_wine}_unit_tests PROPERTIES RESOURCE_GROUPS "wine:1" TIMEOUT 900 COST 100
                                                         LABELS "wine;${ORV_WINE_ARCH}")
  if(EXISTS "${ORV_WIN_BUILD_DIR}/tests/orv_win_tests.exe")
    add_test(NAME ${orv_wine}_win_tests
             COMMAND ${orv_in_slot} "${ORV_WINE_LOADER}" "${ORV_WIN_BUILD_DIR}/tests/orv_win_tests.exe")
    set_tests_properties(${orv_wine}_win_tests PROPERTIES RESOURCE_GROUPS "wine:1" LABELS "wine;${ORV_WINE_ARCH}")
  endif()
endif()

# ---- Pattern matcher: fuzz target (its seed corpus is replayed by every test run) and benchmark.
# With clang the target is a libFuzzer program under ASan and UBSan; other compilers build a main
# that runs each corpus file once. scripts/fuzz-pattern.sh runs a longer fuzzing session.
if(ORV_FUZZ OR CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # The matcher's own sources are compiled into the target, instrumented for the fuzzer.
  file(GLOB ORV_PATTERN_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/src/pattern/*.cpp")
  add_executable(pattern_fuzz fuzz/pattern_fuzz.cpp ${ORV_PATTERN_SOURCES})
  target_include_directories(pattern_fuzz PRIVATE "$<TARGET_PROPERTY:orv_pattern,INTERFACE_INCLUDE_DIRECTORIES>")
  target_link_libraries(pattern_fuzz PRIVATE orv_text)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(ORV_PATTERN_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
    target_compile_options(pattern_fuzz PRIVATE ${ORV_PATTERN_FUZZ_FLAGS} -fno-omit-frame-pointer)
    target_link_options(pattern_fuzz PRIVATE ${ORV_PATTERN_FUZZ_FLAGS})
    set(ORV_PATTERN_REPLAY -runs=0)
  else()
    target_compile_definitions(pattern_fuzz PRIVATE ORV_FUZZ_REPLAY_MAIN)
    set(ORV_PATTERN_REPLAY)
  endif()
  add_test(NAME pattern_fuzz_corpus
           COMMAND pattern_fuzz ${ORV_PATTERN_REPLAY} "${CMAKE_CURRENT_SOURCE_DIR}/fuzz/corpus/pattern")
endif()
if(ORV_BENCH)
  find_package(benchmark REQUIRED)
  add_executable(pattern_bench bench/pattern_bench.cpp)
  target_link_libraries(pattern_bench PRIVATE orv_pattern benchmark::benchmark)
endif()

if(ORV_E2E)
  # The README's demo, in its Xvfb form, with its log checked.
  add_test(NAME demo_${orv_wine} COMMAND bash "${CMAKE_CURRENT_SOURCE_DIR}/bed/demo-check.sh")
  # Its own prefix and Xvfb (scripts/demo.sh): no slot.
  set_tests_properties(demo_${orv_wine} PROPERTIES TIMEOUT 1200 COST 150 LABELS "wine;${ORV_WINE_ARCH}"
                       ENVIRONMENT "ORV_DEMO_NATIVE_BUILD=${CMAKE_BINARY_DIR}")
endif()

# orvpublish run as a publisher runs it, against the bed's HTTPS servers (natively, no Wine).
add_executable(orv_publish_tests publish/orvpublish_test.cpp)
target_link_libraries(orv_publish_tests PRIVATE orvbed gtest)
target_compile_definitions(orv_publish_tests PRIVATE ORV_PUBLISH_EXE="$<TARGET_FILE:orvpublish>")
add_dependencies(orv_publish_tests orvpublish)
add_test(NAME publish_tool COMMAND orv_publish_tests)
set_tests_properties(publish_tool PROPERTIES TIMEOUT 600 LABELS "publish")

# The layers: each library's include folder shows only its own folder and those it may use.
get_property(orv_libraries GLOBAL PROPERTY ORV_LIBRARIES)
set(orv_layers "")
foreach(library ${orv_libraries})
  get_target_property(folders ${library} ORV_FOLDERS)
  string(REPLACE ";" "," folders "${folders}")
  list(APPEND orv_layers "${library}=${folders}")
endforeach()
string(REPLACE ";" "|" orv_layers "${orv_layers}")
add_test(NAME layout_layers
         COMMAND "${CMAKE_COMMAND}" -DCXX=${CMAKE_CXX_COMPILER} -DINCLUDE_ROOT=${CMAKE_BINARY_DIR}/include
                 -DTHIRDPARTY=${ORV_THIRDPARTY_INCLUDE} -DWORK=${CMAKE_CURRENT_BINARY_DIR}/layers
                 "-DLAYERS=${orv_layers}" -P "${CMAKE_CURRENT_SOURCE_DIR}/layout/layers-check.cmake")
set_tests_properties(layout_layers PROPERTIES TIMEOUT 300 LABELS "layout")

# Native build of the platform-free code, for unit tests under the sanitizers, fuzzing and benchmarks.
target_compile_options(orv_options INTERFACE -Wall -Wextra)
if(ORV_SANITIZE)
  target_compile_options(orv_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(orv_options INTERFACE -fsanitize=address,undefined)
endif()

# CRC-32: the carry-less multiplication kernel (chosen at run time by CPUID) needs these
# instructions enabled in its own file only.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
  set_source_files_properties("${CMAKE_SOURCE_DIR}/src/util/crc32_clmul.cpp" PROPERTIES COMPILE_OPTIONS "-mpclmul;-msse4.1")
  # SHA-256: the same for the SHA extensions' kernel, optimised like the portable one (below).
  set_source_files_properties("${CMAKE_SOURCE_DIR}/src/util/sha256_shani.cpp" PROPERTIES COMPILE_OPTIONS "-msha;-msse4.1;-O2")
endif()

# SHA-256 stays optimised in the debug and sanitizer builds: the tests hash a file of 4 GiB.
set_source_files_properties("${CMAKE_SOURCE_DIR}/src/util/sha256.cpp" PROPERTIES COMPILE_OPTIONS "-O2")

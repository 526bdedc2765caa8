# Cross-build for 64-bit Windows with MinGW-w64 (Debian g++-mingw-w64-x86-64-posix). The product is
# the 32-bit build; this one runs the test builds under 64-bit Wine on machines that cannot start
# 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORV_MINGW_TRIPLET x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")

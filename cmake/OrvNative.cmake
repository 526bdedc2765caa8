# Native build of the platform-free code, for unit tests under the sanitizers, fuzzing and benchmarks.
target_compile_options(orvcore PUBLIC -Wall -Wextra)
if(ORV_SANITIZE)
  target_compile_options(orvcore PUBLIC -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(orvcore PUBLIC -fsanitize=address,undefined)
endif()

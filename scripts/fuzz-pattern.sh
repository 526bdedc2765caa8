#!/usr/bin/env bash
# Fuzzes the pattern matcher for a while: scripts/fuzz-pattern.sh [seconds, default 600].
# Builds the libFuzzer target with clang (ASan + UBSan, optimised) in build/pattern-fuzz, starts
# from the checked-in seeds and keeps what it finds in build/pattern-fuzz/fuzz-work; a crashing or
# hanging input is left in build/pattern-fuzz/fuzz-work/artifacts and the script exits non-zero.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
build="$root/build/pattern-fuzz"
work="$build/fuzz-work"

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORV_FUZZ=ON >/dev/null
cmake --build "$build" --target pattern_fuzz -j2
mkdir -p "$work/corpus" "$work/artifacts"

# The pattern syntax's tokens, to help mutations build well-formed patterns.
cat > "$work/pattern.dict" <<'DICT'
"{"
"}"
"("
")"
"["
"[^"
"]"
"|"
"*"
"+"
"?"
"*?"
"+?"
"??"
"!"
"^"
"$"
"."
"\\0"
"\\1"
"\\a"
"\\b"
"\\c"
"\\d"
"\\h"
"\\n"
"\\q"
"\\w"
"\\z"
"\\t"
"a-z"
"\x0d\x0a"
"\x00"
"Set-Cookie:"
"<html>"
DICT

echo "Fuzzing the pattern matcher for ${seconds} s"
"$build/tests/pattern_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -max_len=1600 -dict="$work/pattern.dict" -artifact_prefix="$work/artifacts/" \
  -print_final_stats=1 "$work/corpus" "$root/tests/fuzz/corpus/pattern"
echo "No crash or hang in ${seconds} s; corpus kept in $work/corpus"

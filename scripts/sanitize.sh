#!/usr/bin/env bash
# The Linux tree under the sanitizers, with clang: build/sanitize (AddressSanitizer and
# UndefinedBehaviorSanitizer, with libFuzzer's coverage so that the same libraries serve the fuzz
# targets) runs every fuzz target for a bounded time and the whole ctest suite but the tests that
# need Node.js; build/tsan (ThreadSanitizer) runs the bridge, relay and end-to-end tests.
# Any report fails the run.
# Usage: scripts/sanitize.sh [seconds per fuzz target, default 20]   (scripts/sanitize.sh 600
#        for a long fuzzing run; TIDELOOM_SANITIZE_PARTS="fuzz asan tsan" picks parts)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
fuzz_seconds=${1:-20}
parts=${TIDELOOM_SANITIZE_PARTS:-fuzz asan tsan}
jobs=${TIDELOOM_JOBS:-$(nproc)}
export ASAN_OPTIONS=halt_on_error=1:exitcode=86:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:exitcode=87:print_stacktrace=1
# clang 14's TSan dies in its __tls_get_addr hook when gnutls (under libcurl) ends at exit with
# this glibc; without the hook it still sees every access. The suppressions name the one library
# that is not built with TSan.
export TSAN_OPTIONS=halt_on_error=1:exitcode=88:second_deadlock_stack=1:intercept_tls_get_addr=0:suppressions=$root/scripts/tsan_suppressions.txt
export no_proxy=127.0.0.1,localhost
status=0

timed() { # label command...: runs the command and tells how long it took
  local label=$1 start=$SECONDS
  shift
  echo "== $label"
  "$@" || status=1
  echo "== $label: $((SECONDS - start)) s"
}
configure() { # tree sanitizer-flags [cmake options...]
  local tree=$1 flags="$2 -fno-sanitize-recover=all -fno-omit-frame-pointer"
  shift 2
  [ -f "$tree/CMakeCache.txt" ] || cmake -S . -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" "$@" >/dev/null
}
fuzz_targets=(json_escape json_reader config percent_encoding base64 url names poll_reply multipart)
fuzz_one() { # corpus-folder name: one target for its time, from a copy of its seeds
  local corpus=$1 name=$2
  cp -r "tests/fuzz/seeds/$name" "$corpus/$name"
  if (cd "$corpus" && "$root/build/sanitize/bin/fuzz_$name" -max_total_time="$fuzz_seconds" \
    "$corpus/$name" 2>"$corpus/$name.log"); then
    echo "fuzz_$name: $(grep -o 'Done [0-9]* runs' "$corpus/$name.log" | tail -1)"
  else
    tail -40 "$corpus/$name.log"
    echo "fuzz_$name: finding; the input is in $corpus"
    touch "$corpus/$name.failed"
  fi
}
run_fuzzers() {
  local corpus name
  corpus=$(mktemp -d)
  # Each target is one process: as many at once as there are cores.
  for name in "${fuzz_targets[@]}"; do
    [ "$(jobs -rp | wc -l)" -lt "$jobs" ] || wait -n || true
    fuzz_one "$corpus" "$name" &
  done
  wait
  if compgen -G "$corpus/*.failed" >/dev/null; then return 1; fi
  rm -rf "$corpus"
}

# Ports of their own for the HTTP test peer, so that these trees may test beside build/linux.
configure build/sanitize "-fsanitize=fuzzer-no-link,address,undefined" -DTIDELOOM_FUZZ=ON \
  -DTIDELOOM_HTTP_PEER_PORT=18533
if [[ $parts == *fuzz* ]]; then
  timed "fuzz targets: build" cmake --build build/sanitize -j "$jobs" --target \
    "${fuzz_targets[@]/#/fuzz_}"
  timed "fuzz targets: run" run_fuzzers
fi
if [[ $parts == *asan* ]]; then
  timed "ASan+UBSan: build" cmake --build build/sanitize -j "$jobs"
  # The browser and documentation tests need Node.js and exercise none of our native code.
  timed "ASan+UBSan: tests" ctest --test-dir build/sanitize --output-on-failure -j "$jobs" \
    -E '^(relay_page_in_browser|docs_)'
fi
if [[ $parts == *tsan* ]]; then
  configure build/tsan "-fsanitize=thread" -DTIDELOOM_HTTP_PEER_PORT=18534
  timed "TSan: build" cmake --build build/tsan -j "$jobs" --target tideloom_bridge_tests \
    tideloom_relay_tests tideloom_end_to_end_tests tideloom_http_peer fmhost TideLoom
  # ctest knows the tests by suite; these are the suites of the three folders.
  suites=$(grep -hoE '^TEST(_F|_P)?\(\w+' tests/{bridge,relay,end_to_end}/*.cpp | sed 's/.*(//' |
    sort -u | paste -sd'|')
  timed "TSan: tests" ctest --test-dir build/tsan --output-on-failure -j 2 -R "^($suites)\\."
fi
exit $status

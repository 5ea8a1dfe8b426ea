#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer (ASan + UBSan) trees, and runs every test;
# then the concurrency test in a ThreadSanitizer tree.
set -euo pipefail
cd "$(dirname "$0")"
. tools/setup.sh
oomori_install_deps
oomori_build build
oomori_build build-asan -DOOMORI_SANITIZE=ON -DOOMORI_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build && ctest --output-on-failure -j2)
(cd build-asan && ctest --output-on-failure -j2)
# The concurrency test alone, under ThreadSanitizer.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOOMORI_TSAN=ON "${launcher[@]}" >/dev/null
cmake --build build-tsan -j2 --target sound_threads_test
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure)

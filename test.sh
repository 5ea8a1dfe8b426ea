#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer (ASan + UBSan) trees, and runs every test.
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

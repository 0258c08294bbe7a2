#!/usr/bin/env bash
# Builds both programs and the tests, then runs every test.
#   BUILD_DIR    build folder (default: build)
#   CMAKE_EXTRA  further cmake options, e.g. -DPICTURE_TOOLS_SANITIZE=ON
set -euo pipefail
cd "$(dirname "$0")"
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -DPICTURE_TOOLS_TESTS=ON ${CMAKE_EXTRA:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)"

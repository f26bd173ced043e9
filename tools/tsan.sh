#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the unit tests with ThreadSanitizer in build/tsan and runs those that exercise more
# than one thread: the platform's threads, events, locks and input, the thread pool, the
# search start, and the searches ended from outside or run on several threads through the real
# program (which the protocol tests start from the same build, so it runs instrumented too).
#
#   tools/tsan.sh [GTEST_FILTER]
#
# Environment: JOBS (build jobs, default 2), CXX (default g++).
set -euo pipefail
cd "$(dirname "$0")/.."

filter=${1:-'ThreadPool*:AutoResetEvent*:LockAndThread*:PipedInput*:FileInput*:StandardStreams*:SearchTest*:SearchStartTest*:SearchStop*:ProtocolTest*:ThreadedSearch*'}
build=build/tsan

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" \
    "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread" \
    -DORVATH_M32=OFF -DORVATH_SANITIZE=OFF -DORVATH_TOOLS=OFF -DORVATH_TESTS=ON -DORVATH_BIN_DIR= >/dev/null
cmake --build "$build" -j"${JOBS:-2}"

# A report fails the run; so does a test that finds nothing to run.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:exitcode=66}
"$build/tests/orvath_tests" --gtest_filter="$filter" --gtest_brief=1

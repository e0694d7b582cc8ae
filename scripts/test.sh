#!/usr/bin/env bash
# Builds the program with its tests and runs them through CTest.
#
#   scripts/test.sh          one build in build-test/ (Release, warnings are errors) and every suite
#                            it holds: logic, transfers, windows, locales, D-Bus, end-to-end, the
#                            package, the speed guard, the X server and the screen reader
#   scripts/test.sh --full   the same, then the whole suite again under AddressSanitizer + UBSan +
#                            LeakSanitizer (build-asan/; the e2e, perf, package, xvfb and a11y
#                            labels left out), then every libFuzzer target for POMVEX_FUZZ_SECONDS,
#                            30 s by default (build-fuzz/, clang); this is what CI runs
#
# Installs what is missing first (scripts/setup.sh). Prints how long each stage's build and tests
# took, and ends with one line over all stages: "N passed, N failed, N skipped". A test that
# skipped itself (GoogleTest's SKIPPED, such as the permission cases under root, or exit code 77
# where no X server or session bus can be had) counts as skipped; one that could not run (a
# missing executable) counts as failed, and so does a stage whose build failed. Exits non-zero
# when any stage failed. The results stay in <build folder>/Testing/junit.xml.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=$(nproc)

usage() { sed -n '2,18s/^# \{0,1\}//p' "$0"; }
FULL=0
case "${1:-}" in
    "") ;;
    --full) FULL=1 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
esac
[ $# -le 1 ] || { usage >&2; exit 2; }

START=$SECONDS
if ! bash scripts/setup.sh; then
    echo "test.sh: scripts/setup.sh failed, nothing was built"
    echo "0 passed, 1 failed, 0 skipped"
    exit 1
fi

took() {  # seconds -> "4 min 05 s"
    if [ "$1" -ge 60 ]; then printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); else printf '%d s' "$1"; fi
}

# Counts a CTest JUnit file: prints "passed failed skipped" and then the slowest tests. A test
# that CTest did not run counts as skipped only when it skipped itself (SKIP_RETURN_CODE,
# SKIP_REGULAR_EXPRESSION) or is disabled; "Not Run" for any other cause is a failure, as in
# CTest's own summary.
count_junit() {  # junit.xml
    python3 - "$1" << 'EOF'
import sys
import xml.etree.ElementTree as ET

passed = failed = skipped = 0
times = []
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    status = case.get("status")
    if status == "run":
        passed += 1
    elif status == "disabled":
        skipped += 1
    elif status == "notrun":
        why = case.find("skipped")
        if why is not None and why.get("message", "").startswith("SKIP_"):
            skipped += 1
        else:
            failed += 1
    else:
        failed += 1
    times.append((float(case.get("time") or 0), case.get("name")))
print(passed, failed, skipped)
times.sort(reverse=True)
print(", ".join(f"{name} {t:.0f} s" for t, name in times[:4] if t >= 1))
EOF
}

declare -A SUMMARY
STAGES=()
STATUS=0
PASSED=0
FAILED=0
SKIPPED=0

# One stage: configure and build `dir` with the given cmake options, then run CTest in
# `testdir` with the given arguments, `jobs` tests at a time.
# Usage: stage NAME DIR TESTDIR JOBS CMAKE_OPTIONS... -- CTEST_ARGS...
stage() {
    local name=$1 dir=$2 testdir=$3 jobs=$4
    shift 4
    local cmake_args=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do cmake_args+=("$1"); shift; done
    shift
    STAGES+=("$name")
    echo "=== $name: building in $dir/"
    local t0=$SECONDS
    if ! { cmake -S . -B "$dir" "${cmake_args[@]}" > /dev/null && cmake --build "$dir" -j"$JOBS"; }; then
        SUMMARY[$name]="build failed after $(took $((SECONDS - t0)))"
        STATUS=1
        FAILED=$((FAILED + 1))
        return 1
    fi
    local built=$((SECONDS - t0))
    echo "=== $name: testing in $testdir/"
    local junit=$ROOT/$testdir/Testing/junit.xml
    rm -f "$junit"
    t0=$SECONDS
    (cd "$testdir" && ctest --output-on-failure --no-tests=error -j"$jobs" --timeout 900 \
        --output-junit "$junit" "$@")
    local rc=$? tested=$((SECONDS - t0)) p=0 f=0 s=0 slowest="" counts
    if [ -s "$junit" ] && counts=$(count_junit "$junit"); then
        read -r p f s <<< "$(head -1 <<< "$counts")"
        slowest=$(tail -n +2 <<< "$counts")
    else
        echo "test.sh: no test results from CTest in $junit"
        rc=1
    fi
    # A run that failed without a failed test (no tests found, CTest itself stopped) still fails.
    [ "$rc" -eq 0 ] || [ "$f" -gt 0 ] || f=1
    [ "$rc" -eq 0 ] && [ "$f" -eq 0 ] || STATUS=1
    PASSED=$((PASSED + p))
    FAILED=$((FAILED + f))
    SKIPPED=$((SKIPPED + s))
    SUMMARY[$name]="$p passed, $f failed, $s skipped; build $(took $built), tests $(took $tested)"
    [ -z "$slowest" ] || SUMMARY[$name]+=" (slowest: $slowest)"
    return 0
}

# 1. The ordinary build, in Release: warnings that only the optimiser brings are seen here. Every
#    option is given, so that nothing set in this folder before stays in its cache.
#
#    The package test compiles the program once more, as the README's install route does: Release,
#    without -Werror, in a folder of its own (build-test/package-test/). Its compiles differ from
#    this build's only in -Werror and in the folder of the sources moc and rcc generate, so ccache
#    can hand it this build's objects when -Werror is left out of ccache's key. That is done in a
#    namespace of this stage's own, whose objects of the program's sources all come from compiles
#    with -Werror; elsewhere -Werror stays in the key, so that an object built without it
#    (warnings and all, by start.sh say) never passes for a -Werror build.
#
#    Most tests wait (servers, time-outs, an X server) rather than compute, so one more runs at a
#    time than there are cores (not more: the fault matrix's 3 GiB copy has a 20 s wall limit and
#    needs a core). The end-to-end test mostly waits for a whole minute to come: on a first run,
#    before CTest has timed the tests, it is started first rather than last.
costs=build-test/Testing/Temporary/CTestCostData.txt
if [ ! -f "$costs" ]; then
    mkdir -p "$(dirname "$costs")" && printf 'e2e 1 120\n---\n' > "$costs"
fi
export CCACHE_NAMESPACE=pomvex-test CCACHE_IGNOREOPTIONS=-Werror
stage plain build-test build-test $((JOBS + 1)) -DCMAKE_BUILD_TYPE=Release -DPOMVEX_WERROR=ON \
    -DPOMVEX_SANITIZE=OFF -DPOMVEX_FUZZ=OFF -DPOMVEX_BUILD_TESTS=ON --
plain_built=$?
unset CCACHE_NAMESPACE CCACHE_IGNOREOPTIONS

if [ $FULL -eq 1 ] && [ $plain_built -eq 0 ]; then
    # 2. Sanitizers: any report ends the reporting test with a failure. The settings stay for
    #    the fuzz targets.
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$ROOT/tests/lsan.supp:print_suppressions=0
    # The end-to-end run (Xvfb), the speed/memory guard (meaningless under ASan) and the package
    # (a Release build of its own, done in stage 1) stay out. The real X server runs (xvfb, a11y)
    # stay out too: with strict string checks ASan flags a read inside libxkbcommon-x11 (strndup
    # over a length-counted reply) while Qt connects, before our code.
    stage asan build-asan build-asan "$JOBS" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPOMVEX_SANITIZE=ON \
        -DPOMVEX_WERROR=ON -DPOMVEX_FUZZ=OFF -DPOMVEX_BUILD_TESTS=ON -- \
        -LE "e2e|perf|package|xvfb|a11y"

    # 3. Fuzzing: clang + libFuzzer, each target for POMVEX_FUZZ_SECONDS (30 s).
    CC=clang CXX=clang++ stage fuzz build-fuzz build-fuzz/fuzz "$JOBS" -DPOMVEX_FUZZ=ON -DPOMVEX_WERROR=ON \
        -DPOMVEX_SANITIZE=OFF -- -L fuzz
fi

echo
for s in "${STAGES[@]}"; do echo "$s: ${SUMMARY[$s]:-no summary}"; done
if [ $STATUS -eq 0 ]; then verdict="all stages passed"; else verdict="FAILED"; fi
mode=""
[ $FULL -eq 0 ] || mode=" --full"
echo "test.sh$mode: $verdict in $(took $((SECONDS - START)))"
echo "$PASSED passed, $FAILED failed, $SKIPPED skipped"
exit $STATUS

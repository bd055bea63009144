#!/usr/bin/env bash
# Builds the .xls reader's libFuzzer target (preset "fuzz": clang-14, address and
# undefined-behaviour sanitizers) and runs it for SECONDS (default 60) on a working corpus seeded
# from ../shared/xls-corpus. Exits non-zero on any crash, leak, timeout or out-of-memory.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds == 0)); then
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 64
fi

repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"

build_dir=build/fuzz
work_dir=fuzz/corpus-work
artifact_dir=$build_dir/artifacts

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target kestrel-xls-fuzzer --parallel 2

fuzz/seed-corpus.sh "$work_dir"
mkdir -p "$artifact_dir"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "fuzz.sh: running kestrel-xls-fuzzer for $seconds s"
started=$artifact_dir/.started
touch "$started"
set +e
"$build_dir/bin/kestrel-xls-fuzzer" "$work_dir" \
    -dict=fuzz/xls.dict \
    -max_total_time="$seconds" \
    -max_len=262144 \
    -rss_limit_mb=2048 \
    -timeout=10 \
    -artifact_prefix="$artifact_dir/" \
    -print_final_stats=1
status=$?
set -e

if ((status != 0)); then
    echo "fuzz.sh: the fuzzer failed with status $status; reproducers:" >&2
    find "$artifact_dir" -type f -newer "$started" -print >&2
    echo "fuzz.sh: replay one with $build_dir/bin/kestrel-xls-fuzzer FILE" >&2
    exit 1
fi
echo "fuzz.sh: no crash, leak, timeout or out-of-memory in $seconds s"

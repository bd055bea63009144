#!/usr/bin/env bash
# Builds the readers' libFuzzer targets (preset "fuzz": clang-14, address and
# undefined-behaviour sanitizers) and runs each for SECONDS (default 60): the .xls reader on a
# working corpus seeded from tests/data/xls-corpus, the .xlsx/.xlsm/.ods reader on one seeded
# from tests/data/sheet-corpus. Exits non-zero on any crash, leak, timeout or out-of-memory.
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
artifact_dir=$build_dir/artifacts

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target kestrel-xls-fuzzer kestrel-package-fuzzer --parallel 2

fuzz/seed-corpus.sh fuzz/corpus-work
fuzz/seed-package-corpus.py fuzz/corpus-package
mkdir -p "$artifact_dir"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# run_fuzzer NAME CORPUS DICTIONARY MAX_LEN [READ_ONLY_CORPUS...]
run_fuzzer() {
    local name=$1 corpus=$2 dictionary=$3 max_len=$4
    shift 4
    echo "fuzz.sh: running $name for $seconds s"
    local started=$artifact_dir/.started-$name
    touch "$started"
    set +e
    "$build_dir/bin/$name" "$corpus" "$@" \
        -dict="$dictionary" \
        -max_total_time="$seconds" \
        -max_len="$max_len" \
        -rss_limit_mb=2048 \
        -timeout=10 \
        -artifact_prefix="$artifact_dir/" \
        -print_final_stats=1
    local status=$?
    set -e
    if ((status != 0)); then
        echo "fuzz.sh: $name failed with status $status; reproducers:" >&2
        find "$artifact_dir" -type f -newer "$started" -print >&2
        echo "fuzz.sh: replay one with $build_dir/bin/$name FILE" >&2
        exit 1
    fi
    echo "fuzz.sh: $name: no crash, leak, timeout or out-of-memory in $seconds s"
}

run_fuzzer kestrel-xls-fuzzer fuzz/corpus-work fuzz/xls.dict 262144
run_fuzzer kestrel-package-fuzzer fuzz/corpus-package fuzz/package.dict 262144 \
    fuzz/package-regressions

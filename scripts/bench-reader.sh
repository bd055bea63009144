#!/usr/bin/env bash
# Reader benchmark: builds the release harnesses, generates a workbook of 65,000 rows by 20
# columns (once, into build/bench/), then reads every cell of it with our reader, FreeXL and
# python3-xlrd, each in its own process, and prints wall time, cells per second and peak memory.
#   scripts/bench-reader.sh
# KESTREL_BENCH_BUILD_DIR picks the release build folder (default build/release).
set -euo pipefail

repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"

build_dir=${KESTREL_BENCH_BUILD_DIR:-build/release}
bench_dir=build/bench
workbook=$bench_dir/xls-65000x20.xls
python=/usr/bin/python3 # Debian's, with python3-xlwt and python3-xlrd

cmake --preset release -B "$build_dir" >/dev/null
targets=(kestrel-bench-xls-read)
if cmake --build "$build_dir" --target help | grep '^kestrel-bench-freexl:' >/dev/null; then
    targets+=(kestrel-bench-freexl)
fi
cmake --build "$build_dir" --target "${targets[@]}" --parallel 2 >/dev/null

mkdir -p "$bench_dir"
if [[ ! -f $workbook ]]; then
    echo "bench-reader.sh: generating $workbook"
    "$python" bench/xls/make_workbook.py "$workbook.part" 65000
    mv "$workbook.part" "$workbook"
fi

# measure NAME COMMAND...: runs the command; leaves its key<TAB>value output and its wall time
# and peak memory in $bench_dir/NAME.out and $bench_dir/NAME.metrics.
measure() {
    local name=$1
    shift
    local out=$bench_dir/$name.out metrics=$bench_dir/$name.metrics
    if [[ -x /usr/bin/time ]]; then
        /usr/bin/time -v -o "$metrics.time" "$@" >"$out"
        awk -F': ' '
            /Elapsed \(wall clock\)/ {
                n = split($2, part, ":"); seconds = 0
                for (i = 1; i <= n; ++i) seconds = seconds * 60 + part[i]
                printf "wall_seconds\t%.3f\n", seconds
            }
            /Maximum resident set size/ { printf "peak_rss_kib\t%d\n", $2 }
        ' "$metrics.time" >"$metrics"
    else
        "$python" bench/xls/measure.py "$metrics" "$@" >"$out"
    fi
}

value() { awk -F'\t' -v key="$2" '$1 == key { print $2 }' "$1"; }

readers=(ours)
measure ours "$build_dir/bin/kestrel-bench-xls-read" "$workbook"
if [[ -x $build_dir/bin/kestrel-bench-freexl ]]; then
    measure freexl "$build_dir/bin/kestrel-bench-freexl" "$workbook"
    readers+=(freexl)
else
    echo "bench-reader.sh: FreeXL harness not built (libfreexl-dev missing): skipped" >&2
fi
if "$python" -c 'import xlrd' 2>/dev/null; then
    measure xlrd "$python" bench/xls/xlrd_read.py "$workbook"
    readers+=(xlrd)
else
    echo "bench-reader.sh: python3-xlrd missing: skipped" >&2
fi

ours_seconds=$(value "$bench_dir/ours.metrics" wall_seconds)
ours_rss=$(value "$bench_dir/ours.metrics" peak_rss_kib)
echo
echo "workbook: $workbook ($(du -k "$workbook" | cut -f1) KiB), locale: ${LC_ALL:-${LANG:-C}}"
printf '%-14s %9s %9s %12s %10s %11s %10s %9s\n' reader cells seconds cells/s \
    "RSS MiB" "in-proc s" "time/ours" "RSS/ours"
for name in "${readers[@]}"; do
    out=$bench_dir/$name.out metrics=$bench_dir/$name.metrics
    cells=$(value "$out" cells)
    seconds=$(value "$metrics" wall_seconds)
    rss=$(value "$metrics" peak_rss_kib)
    in_process=$(awk -F'\t' '$1 ~ /_seconds$/ { s += $2 } END { printf "%.3f", s }' "$out")
    awk -v reader="$(value "$out" reader)" -v cells="$cells" -v s="$seconds" -v rss="$rss" \
        -v inproc="$in_process" -v os="$ours_seconds" -v orss="$ours_rss" 'BEGIN {
        printf "%-14s %9d %9.2f %12.0f %10.1f %11.2f %9.2fx %8.2fx\n", reader, cells, s,
            cells / s, rss / 1024, inproc, s / os, rss / orss
    }'
done
ours_cells=$(value "$bench_dir/ours.out" cells)
for name in "${readers[@]}"; do
    if [[ $(value "$bench_dir/$name.out" cells) != "$ours_cells" ]]; then
        echo "bench-reader.sh: $name read a different number of cells than ours" >&2
    fi
done

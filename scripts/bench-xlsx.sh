#!/usr/bin/env bash
# .xlsx reader benchmark: builds the release harness, generates an .xlsx of 65,000 rows by 20
# columns with python3-openpyxl (once, into build/bench/), then reads and converts every cell
# with our reader and with openpyxl in read-only mode, alternating, RUNS times each (default 3),
# each run in its own process. Prints every run's wall time and peak memory, the median, and
# the ratio of the medians from the same invocation.
#   scripts/bench-xlsx.sh [RUNS]
# KESTREL_BENCH_BUILD_DIR picks the release build folder (default build/release).
set -euo pipefail

runs=${1:-3}
repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"

build_dir=${KESTREL_BENCH_BUILD_DIR:-build/release}
bench_dir=build/bench
workbook=$bench_dir/xlsx-65000x20.xlsx
python=/usr/bin/python3 # Debian's, with python3-openpyxl

cmake --preset release -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target kestrel-bench-xls-read --parallel 2 >/dev/null
mkdir -p "$bench_dir"
if [[ ! -f $workbook ]]; then
    echo "bench-xlsx.sh: generating $workbook"
    "$python" bench/xlsx/make_xlsx.py "$workbook.part.xlsx" 65000
    mv "$workbook.part.xlsx" "$workbook"
fi

# measure NAME RUN COMMAND...: leaves the command's output and "seconds<TAB>peak KiB" in files.
measure() {
    local name=$1 run=$2
    shift 2
    local out=$bench_dir/$name.$run.out
    "$python" bench/xls/measure.py "$out.metrics" "$@" >"$out"
}

for ((run = 1; run <= runs; ++run)); do
    measure ours "$run" "$build_dir/bin/kestrel-bench-xls-read" "$workbook"
    measure openpyxl "$run" "$python" bench/xlsx/openpyxl_read.py "$workbook"
done

value() { awk -F'\t' -v key="$2" '$1 == key { print $2 }' "$1"; }

echo "workbook: $workbook ($(du -k "$workbook" | cut -f1) KiB), locale: ${LC_ALL:-${LANG:-C}}"
printf '%-28s %9s %9s %s\n' reader cells nonblank "runs: wall seconds / peak RSS MiB"
declare -A median
for name in ours openpyxl; do
    times=()
    line=""
    for ((run = 1; run <= runs; ++run)); do
        out=$bench_dir/$name.$run.out
        seconds=$(value "$out.metrics" wall_seconds)
        rss=$(value "$out.metrics" peak_rss_kib)
        times+=("$seconds")
        line+=$(printf ' %.2f/%.0f' "$seconds" "$((rss / 1024))")
    done
    median[$name]=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    printf '%-28s %9s %9s %s\n' "$(value "$bench_dir/$name.1.out" reader)" \
        "$(value "$bench_dir/$name.1.out" cells)" "$(value "$bench_dir/$name.1.out" nonblank)" "$line"
done
awk -v o="${median[ours]}" -v p="${median[openpyxl]}" \
    'BEGIN { printf "median wall: ours %.2f s, openpyxl %.2f s: ours is %.1fx faster\n", o, p, p / o }'
if [[ $(value "$bench_dir/ours.1.out" nonblank) != $(value "$bench_dir/openpyxl.1.out" nonblank) ]]; then
    echo "bench-xlsx.sh: the readers saw different numbers of cells" >&2
    exit 1
fi

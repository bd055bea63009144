#!/usr/bin/env bash
# kestrel-xlsdump end to end (process start to last line, output to a file) against xlrd reading
# the same cells' values in its own process (open_workbook, then row_values of every row), on the
# reader benchmark's workbook of 65,000 rows by 20 columns. Three runs, each timing both sides.
#   scripts/bench-xlsdump.sh [RUNS]
set -euo pipefail

repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"
runs=${1:-3}
build_dir=${KESTREL_BENCH_BUILD_DIR:-build/release}
bench_dir=build/bench
workbook=$bench_dir/xls-65000x20.xls
python=/usr/bin/python3 # Debian's, with python3-xlwt and python3-xlrd

cmake --preset release -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target kestrel-xlsdump --parallel 2 >/dev/null
mkdir -p "$bench_dir"
if [[ ! -f $workbook ]]; then
    "$python" bench/xls/make_workbook.py "$workbook.part" 65000
    mv "$workbook.part" "$workbook"
fi

seconds() { # COMMAND...: wall seconds of the command, its output to a file
    local start end
    start=$(date +%s.%N)
    "$@" >"$bench_dir/xlsdump-bench.out"
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

xlrd_values='import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
sheet = book.sheet_by_index(0)
for row in range(sheet.nrows):
    sheet.row_values(row)'

printf '%-5s %14s %10s %8s\n' run kestrel-xlsdump xlrd ratio
for ((run = 1; run <= runs; ++run)); do
    ours=$(seconds "$build_dir/bin/kestrel-xlsdump" "$workbook")
    theirs=$(seconds "$python" -c "$xlrd_values" "$workbook")
    printf '%-5d %13.3fs %9.3fs %7.1fx\n' "$run" "$ours" "$theirs" "$(awk -v a="$theirs" -v b="$ours" 'BEGIN { print a / b }')"
done

#!/usr/bin/env bash
# Templates of any size. The stored-value import of .xlsx templates written by openpyxl's
# write-only mode, as a branch's export would be (65,000, 250,000 and 1,048,575 rows), into an
# empty demo branch database through kestrel-import; then kestrel-xlsdump on the 250,000-row
# template against the same program built from REVISION (default main), in turn. Every run is
# its own process; RUNS of each (default 3). Prints each run's wall seconds and peak resident
# memory, the medians of wall and processor time (the latter less moved by other programs on
# the machine), their ratios within this invocation, and whether both dumps are the same byte
# for byte. Templates (about 130 MB), databases and dumps live in WORK
# (default ${TMPDIR:-/tmp}/kestrel-bench-large), the templates made once.
#   scripts/bench-large-xlsx.sh [--work DIR] [--against REVISION] [RUNS]
# An earlier revision is built with the packages it needed (liborcus-dev before the package
# reader streamed).
set -euo pipefail

repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"
work=${TMPDIR:-/tmp}/kestrel-bench-large
revision=main
runs=3
while (($#)); do
    case $1 in
    --work) work=$2 && shift 2 ;;
    --against) revision=$2 && shift 2 ;;
    *) runs=$1 && shift ;;
    esac
done
python=/usr/bin/python3 # Debian's, with python3-openpyxl
sizes=(65000 250000 1048575)
dump_rows=250000

cmake --preset release >/dev/null
cmake --build build/release --target kestrel-import kestrel-xlsdump --parallel 2 >/dev/null
earlier=$work/earlier-$(git rev-parse --short "$revision")
if [[ ! -x $earlier/build/bin/kestrel-xlsdump ]]; then
    rm -rf "$earlier/source"
    mkdir -p "$earlier/source"
    git archive "$revision" | tar -x -C "$earlier/source"
    cmake -S "$earlier/source" -B "$earlier/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKESTREL_BUILD_GUI=OFF -DKESTREL_BUILD_TESTS=OFF -DKESTREL_BUILD_BENCH=OFF >/dev/null
    cmake --build "$earlier/build" --target kestrel-xlsdump --parallel 2 >/dev/null
    rm -rf "$earlier/source"
fi

data=$work/data
mkdir -p "$data"
for rows in "${sizes[@]}"; do
    if [[ ! -f $data/stored-value-$rows.xlsx ]]; then
        echo "bench-large-xlsx.sh: writing the template of $rows rows"
        "$python" bench/import/make_stored_value.py "$data/part.xlsx" "$rows"
        mv "$data/part.xlsx" "$data/stored-value-$rows.xlsx"
    fi
done
rm -f "$data/base.db"
sqlite3 "$data/base.db" <schema/branch.sql
sqlite3 "$data/base.db" <schema/demo-data.sql
printf '[Kestrel]\ndbtype=sqlite\ndbname=branch.db\n' >"$data/Kestrel.ini"
members() { sqlite3 "$1" "SELECT COUNT(*) FROM HY_Member"; }
members_before=$(members "$data/base.db")

value() { awk -F'\t' -v key="$2" '$1 == key { print $2 }' "$1"; }

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# summarize NAME: of the runs' WORK/NAME.RUN.metrics, sets summary_runs ("wall/MiB" each),
# summary_median and summary_cpu (median wall and processor seconds) and summary_peak (MiB).
summarize() {
    local times=() cpus=() run metrics seconds rss
    summary_runs="" summary_peak=0
    for ((run = 1; run <= runs; ++run)); do
        metrics=$work/$1.$run.metrics
        seconds=$(value "$metrics" wall_seconds)
        rss=$(($(value "$metrics" peak_rss_kib) / 1024))
        times+=("$seconds")
        cpus+=("$(value "$metrics" cpu_seconds)")
        ((rss > summary_peak)) && summary_peak=$rss
        summary_runs+=$(printf ' %.2f/%d' "$seconds" "$rss")
    done
    summary_median=$(median "${times[@]}")
    summary_cpu=$(median "${cpus[@]}")
}

# measure NAME COMMAND...: the command's output to WORK/NAME.out, wall seconds and peak KiB to
# WORK/NAME.metrics; stops the benchmark when the command fails.
measure() {
    local name=$1
    shift
    if ! "$python" bench/xls/measure.py "$work/$name.metrics" "$@" >"$work/$name.out" 2>&1; then
        echo "bench-large-xlsx.sh: $name failed:" >&2
        tail -5 "$work/$name.out" >&2
        exit 1
    fi
}

# import ROWS RUN: one stored-value import of the template on a fresh copy of the database.
import() {
    cp "$data/stored-value-$1.xlsx" "$data/青雁充值卡模板.xlsx"
    cp "$data/base.db" "$data/branch.db"
    rm -f "$data/branch.db-journal"
    sync
    measure "import-$1.$2" build/release/bin/kestrel-import --dir "$data" stored-value
    local added=$(($(members "$data/branch.db") - members_before))
    if ((added != $1)); then
        echo "bench-large-xlsx.sh: the import of $1 rows added $added members" >&2
        exit 1
    fi
}

for ((run = 1; run <= runs; ++run)); do
    for rows in "${sizes[@]}"; do import "$rows" "$run"; done
done

echo "stored-value import through kestrel-import, .xlsx by openpyxl (write-only), empty demo database"
printf '%-9s %-40s %9s %8s %12s %11s\n' rows "runs: wall s / peak RSS MiB" "median s" "CPU s" \
    "max RSS MiB" "vs 250,000"
summarize import-250000
baseline=$summary_median baseline_cpu=$summary_cpu
for rows in "${sizes[@]}"; do
    summarize "import-$rows"
    printf '%-9s %-40s %9.2f %8.2f %12d %5.2fx/%.2fx\n' "$rows" "$summary_runs" "$summary_median" \
        "$summary_cpu" "$summary_peak" "$(awk -v a="$summary_median" -v b="$baseline" 'BEGIN { print a / b }')" \
        "$(awk -v a="$summary_cpu" -v b="$baseline_cpu" 'BEGIN { print a / b }')"
done
echo "(vs 250,000: the median wall time and the median processor time beside the 250,000-row run's)"

# The dump of the 250,000-row template, the earlier build and this one in turn.
template=$data/stored-value-$dump_rows.xlsx
for ((run = 1; run <= runs; ++run)); do
    measure "dump-earlier.$run" "$earlier/build/bin/kestrel-xlsdump" "$template"
    measure "dump-now.$run" build/release/bin/kestrel-xlsdump "$template"
done
alike=yes
cmp -s "$work/dump-earlier.1.out" "$work/dump-now.1.out" || alike=no

echo
echo "kestrel-xlsdump on the $dump_rows-row template ($(du -k "$template" | cut -f1) KiB)"
printf '%-10s %-40s %9s %12s\n' build "runs: wall s / peak RSS MiB" "median s" "max RSS MiB"
declare -A dump_median
for build in earlier now; do
    summarize "dump-$build"
    dump_median[$build]=$summary_median
    label=$revision
    [[ $build == now ]] && label=this
    printf '%-10s %-40s %9.2f %12d\n' "$label" "$summary_runs" "$summary_median" "$summary_peak"
done
awk -v a="${dump_median[earlier]}" -v b="${dump_median[now]}" -v alike="$alike" \
    'BEGIN { printf "median wall: this build takes %.2fx the time of the earlier one; output the same byte for byte: %s\n", b / a, alike }'
[[ $alike == yes ]]

#!/usr/bin/env bash
# Every import of kestrel-import as built now against the same program built from an earlier
# revision, on the same data: an empty copy of the demo branch database and large copies of the
# sample templates (65,000 rows; 20,000 per sheet for rooms and lockers, items and goods). The
# two builds run in turn, ROUNDS times per import, each on a fresh copy of the database, with the
# disk written out before each run. Prints both times, their ratio and whether both builds left
# the same number of rows in every table.
#   scripts/bench-against.sh REVISION [ROUNDS]     e.g. scripts/bench-against.sh 90fc17a 3
set -euo pipefail

repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"
revision=${1:?usage: scripts/bench-against.sh REVISION [ROUNDS]}
rounds=${2:-3}
python=/usr/bin/python3 # Debian's, with python3-xlwt and python3-xlrd
work=build/bench-against
earlier=$work/earlier-$revision

cmake --preset release >/dev/null
cmake --build build/release --target kestrel-import --parallel 2 >/dev/null
mkdir -p "$work/data"
if [[ ! -x $earlier/build/bin/kestrel-import ]]; then
    rm -rf "$earlier/source"
    git worktree add --detach "$earlier/source" "$revision" >/dev/null 2>&1
    cmake -S "$earlier/source" -B "$earlier/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKESTREL_BUILD_GUI=OFF >/dev/null
    cmake --build "$earlier/build" --target kestrel-import --parallel 2 >/dev/null
    git worktree remove --force "$earlier/source"
fi

data=$work/data
rm -f "$data/base.db"
sqlite3 "$data/base.db" <schema/branch.sql
sqlite3 "$data/base.db" <schema/demo-data.sql
printf '[Kestrel]\ndbtype=sqlite\ndbname=branch.db\n' >"$data/Kestrel.ini"
for sample in templates/*.xls; do
    rows=65000
    case $sample in *营业项目* | *锁牌房间*) rows=20000 ;; esac
    target=$data/$(basename "$sample")-$rows
    if [[ ! -f $target ]]; then
        "$python" bench/import/replicate_template.py "$sample" "$target.part" "$rows"
        mv "$target.part" "$target"
    fi
    cp "$target" "$data/$(basename "$sample")"
done

counts() { # the rows of every table, in name order
    sqlite3 "$data/branch.db" "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name" |
        while read -r table; do printf '%s ' "$(sqlite3 "$data/branch.db" "SELECT COUNT(*) FROM \"$table\"")"; done
}

run() { # PROGRAM IMPORT: wall seconds of one import on a fresh copy; its table counts in $data/counts
    cp "$data/base.db" "$data/branch.db"
    rm -f "$data/branch.db-journal"
    sync
    local start end
    start=$(date +%s.%N)
    "$1" --dir "$data" "$2" >"$data/last.out" 2>&1 || { cat "$data/last.out" >&2; return 1; }
    end=$(date +%s.%N)
    counts >"$data/counts"
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}

printf '%-14s %5s %9s %9s %7s  %s\n' import round "$revision" now ratio "rows alike"
for kind in stored-value points treatment time-period rooms-lockers items-goods employees; do
    for round in $(seq 1 "$rounds"); do
        before=$(run "$earlier/build/bin/kestrel-import" "$kind")
        cp "$data/counts" "$data/counts-before"
        after=$(run build/release/bin/kestrel-import "$kind")
        alike=no
        cmp -s "$data/counts" "$data/counts-before" && alike=yes
        printf '%-14s %5s %8ss %8ss %6.1fx  %s\n' "$kind" "$round" "$before" "$after" \
            "$(awk -v a="$before" -v b="$after" 'BEGIN { print a / b }')" "$alike"
    done
done

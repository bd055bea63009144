#!/usr/bin/env bash
# The stored-value import of 65,000 rows into a branch of 100,000 members, through FreeTDS to the
# SQL Server 2000 stand-in of the tests (tests/support/tds_stand_in.py) with a wait of DELAY_MS
# before each answer standing for a branch LAN, and the same import on the embedded SQLite path,
# ROUNDS times each in turn. Prints per round the wall time, rows per second, the tool's own CPU
# time and the requests per row the stand-in counted; then medians and spreads (min to max).
# The stand-in is Python: its own work, not the tool's, bounds the SQL Server path's wall time.
#   scripts/bench-sqlserver.sh [ROUNDS] [DELAY_MS]
set -euo pipefail

repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"
rounds=${1:-3}
delay=${2:-0.5}
rows=65000
members=100000
python=/usr/bin/python3 # Debian's, with python3-xlwt
work=build/bench-sqlserver

cmake --preset release >/dev/null
cmake --build build/release --target kestrel-import --parallel 2 >/dev/null
mkdir -p "$work/embedded" "$work/server"
if [[ ! -f $work/template-$rows.xls ]]; then
    "$python" bench/import/make_stored_value.py "$work/template-$rows.xls.part" "$rows"
    mv "$work/template-$rows.xls.part" "$work/template-$rows.xls"
fi
for folder in embedded server; do cp "$work/template-$rows.xls" "$work/$folder/青雁充值卡模板.xls"; done
"$python" bench/sql_server/branch_schema.py "$members" >"$work/schema.sql"
rm -f "$work/base.db"
sqlite3 "$work/base.db" <"$work/schema.sql"
printf '[Kestrel]\ndbtype=sqlite\ndbname=branch.db\n' >"$work/embedded/Kestrel.ini"

server_pid=
stop_server() {
    if [[ -n $server_pid ]]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    server_pid=
}
trap stop_server EXIT

start_server() { # a fresh copy of the branch behind the stand-in; Kestrel.ini reaching it
    rm -f "$work/server/server.db" "$work/server/port" "$work/server/log.jsonl"
    cp "$work/base.db" "$work/server/server.db"
    python3 tests/support/tds_stand_in.py --db "$work/server/server.db" --log "$work/server/log.jsonl" \
        --port-file "$work/server/port" --delay-ms "$delay" --lifetime 3600 &
    server_pid=$!
    for _ in $(seq 600); do [[ -f $work/server/port ]] && break; sleep 0.1; done
    printf '[Kestrel]\ndbserver=127.0.0.1,%s\ndbname=branch\ndbUserID=sa\ndbPassword=x\n' \
        "$(cat "$work/server/port")" >"$work/server/Kestrel.ini"
}

timed() { # FOLDER: "wall cpu" seconds of one stored-value import
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -f '%U %S' -o "$work/cpu" build/release/bin/kestrel-import --dir "$1" stored-value \
        >"$work/last.out" 2>&1 || { cat "$work/last.out" >&2; return 1; }
    end=$(date +%s.%N)
    echo "$(awk -v a="$start" -v b="$end" "BEGIN { print b - a }") $(awk "{ print \$1 + \$2 }" "$work/cpu")"
}

results=$work/results.txt
: >"$results"
for round in $(seq "$rounds"); do
    start_server
    read -r server_wall server_cpu <<<"$(timed "$work/server")"
    requests=$("$python" -c 'import json,sys; print(max(json.loads(l).get("request", 0) for l in open(sys.argv[1])))' \
        "$work/server/log.jsonl")
    stop_server
    cp "$work/base.db" "$work/embedded/branch.db"
    read -r embedded_wall embedded_cpu <<<"$(timed "$work/embedded")"
    echo "$round $server_wall $server_cpu $requests $embedded_wall $embedded_cpu" >>"$results"
done
"$python" bench/sql_server/summarise.py "$rows" "$delay" <"$results"

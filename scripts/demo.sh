#!/usr/bin/env bash
# Sets everything up and runs the tool on the bundled demo: an embedded SQLite branch database
# made from schema/branch.sql and the sample templates, placed next to the executable. A user's
# existing files there are never overwritten.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

bin=build/release/bin
database="$bin/demo-branch.db"
if [ ! -e "$database" ]; then
    sqlite3 "$database" < schema/branch.sql
    sqlite3 "$database" < schema/demo-data.sql
    echo "Created the demo branch database $database"
fi
for template in templates/*.xls; do
    [ -e "$bin/$(basename "$template")" ] || cp "$template" "$bin/"
done
if [ ! -e "$bin/Kestrel.ini" ]; then
    printf '[Kestrel]\r\ndbtype=sqlite\r\ndbname=demo-branch.db\r\n' > "$bin/Kestrel.ini"
    chmod 600 "$bin/Kestrel.ini"
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/kestrel"
fi
echo "No display: running every import of the demo with kestrel-import instead."
exec "$bin/kestrel-import" --dir "$bin" stored-value points treatment time-period rooms-lockers \
    items-goods employees

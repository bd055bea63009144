#!/bin/sh
# Builds and runs the import benchmark: the stored-value import of a 65,000-row template into a
# SQLite branch database of 1,000,000 members, beside plain prepared inserts of the same rows.
# Needs Debian's python3-xlwt to write the template. Extra arguments go to the benchmark
# (--members N, --rows N, --work DIR, --template FILE, --rounds N). After the import it times
# --verify's check against the import's checking pass and key column read, and the import with
# and without its block records, ROUNDS times each.
set -eu
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build build/release --target kestrel-bench-import
exec build/release/bin/kestrel-bench-import "$@"

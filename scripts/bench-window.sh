#!/usr/bin/env bash
# The window against kestrel-import: "充值卡导入" pressed with the mouse in the real window under
# Xvfb and openbox, from the click to the completion box, beside kestrel-import on the same
# template and a fresh copy of the same database, in turn, for 20,000 and 60,000 stored-value
# rows; RUNS runs each (default 3). Also counts the row numbers the window's caption showed.
#   scripts/bench-window.sh [RUNS]
set -euo pipefail

repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$repo_dir"
runs=${1:-3}
build_dir=${KESTREL_BENCH_BUILD_DIR:-build/release}

cmake --preset release -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target kestrel kestrel-import --parallel 2 >/dev/null
/usr/bin/python3 bench/window/bench_window.py "$build_dir/bin" build/bench-window "$runs"

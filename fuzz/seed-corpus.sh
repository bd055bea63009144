#!/usr/bin/env bash
# Copies the seeds into a working fuzz corpus folder: seed-corpus.sh WORK_DIR [SEED_DIR]
# The seeds are the .xls corpus of the tests (or SEED_DIR) and the files of fuzz/seeds, built for kinds
# the corpus lacks. Inputs the fuzzer found in earlier runs stay; seeds already there are left as
# they are.
set -euo pipefail

work_dir=${1:?usage: seed-corpus.sh WORK_DIR [SEED_DIR]}
repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seed_dir=${2:-$repo_dir/tests/data/xls-corpus}

if [[ ! -d $seed_dir ]]; then
    echo "seed-corpus.sh: no seed folder $seed_dir" >&2
    exit 1
fi
mkdir -p "$work_dir"
copied=0
for seed in "$seed_dir"/*.xls "$repo_dir"/fuzz/seeds/*.xls; do
    [[ -f $seed ]] || continue
    target="$work_dir/seed-$(basename "$seed")"
    if [[ ! -e $target ]]; then
        cp "$seed" "$target"
        chmod u+w "$target" # a seed may be read-only; the fuzzer may rewrite its corpus
        copied=$((copied + 1))
    fi
done
echo "seed-corpus.sh: $copied new seeds, $(find "$work_dir" -type f | wc -l) inputs in $work_dir"

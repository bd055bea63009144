#!/usr/bin/env python3
"""Seeds the package fuzzer: seed-package-corpus.py WORK_DIR [SEED_DIR]

Copies every .xlsx, .xlsm and .ods of the tests' sheet corpus (default tests/data/sheet-corpus)
into WORK_DIR twice: as it is, and re-packed without compression (ZIP_STORED), so that the
fuzzer's mutations reach the XML parts. Seeds over MAX_SEED bytes are left out: they would only
slow the fuzzer down (the corpus tests read them). Inputs already there are left as they are."""
import os
import sys
import zipfile

MAX_SEED = 262144

def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    work = sys.argv[1]
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    seeds = sys.argv[2] if len(sys.argv) > 2 else os.path.join(repo, 'tests', 'data', 'sheet-corpus')
    os.makedirs(work, exist_ok=True)
    copied = 0
    for name in sorted(os.listdir(seeds)):
        if not name.endswith(('.xlsx', '.xlsm', '.ods')):
            continue
        source = os.path.join(seeds, name)
        with open(source, 'rb') as f:
            data = f.read()
        targets = {'seed-' + name: data} if len(data) <= MAX_SEED else {}
        try:
            with zipfile.ZipFile(source) as package:
                stored = os.path.join(work, 'seed-stored-' + name)
                size = sum(info.file_size for info in package.infolist())
                if size <= MAX_SEED and not os.path.exists(stored):
                    with zipfile.ZipFile(stored, 'w', zipfile.ZIP_STORED) as out:
                        for info in package.infolist():
                            out.writestr(info.filename, package.read(info.filename))
                    copied += 1
        except (zipfile.BadZipFile, KeyError, OSError, EOFError):
            pass  # broken seeds go in as they are only
        for target, content in targets.items():
            path = os.path.join(work, target)
            if not os.path.exists(path):
                with open(path, 'wb') as f:
                    f.write(content)
                copied += 1
    print('seed-package-corpus.py: %d new seeds, %d inputs in %s'
          % (copied, len(os.listdir(work)), work))

main()

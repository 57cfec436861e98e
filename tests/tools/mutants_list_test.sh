#!/usr/bin/env bash
# Every line of the mutation list still names code that is there: its original text occurs
# exactly once in its file, so moved or renamed code cannot leave a mutation quietly unapplied
# until the next mutation run.
#   mutants_list_test.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 1
python3 - tools/mutants.txt <<'CHECK'
import sys
faults = 0
for number, line in enumerate(open(sys.argv[1]), 1):
    line = line.rstrip("\n")
    if not line or line.startswith("#"):
        continue
    entry = line.split(" @")[0]
    path, _, change = entry.partition(": ")
    old = change.split(" => ")[0]
    try:
        count = open(path).read().count(old)
    except OSError as error:
        count, old = 0, f"{old} ({error.strerror})"
    if count != 1:
        print(f"FAIL: line {number}: {path}: '{old}' occurs {count} times", file=sys.stderr)
        faults += 1
print("all mutations apply" if faults == 0 else f"{faults} mutations do not apply")
sys.exit(1 if faults else 0)
CHECK

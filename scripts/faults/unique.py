"""Reads fault-runner results (id, verdict, failed test functions) and says which faults a single
test function catches alone: what a trim must keep.
usage: unique.py RESULTS..."""
import sys, collections
# faults -> set of functions (without data tag) and rows (with tag)
faults = {}
for f in sys.argv[1:]:
    for line in open(f):
        parts = line.rstrip('\n').split('\t')
        if len(parts) < 2 or parts[1] == "MISSED": continue
        funcs = [x.strip() for x in parts[-1].split(' ; ')] if parts[-1] else []
        faults[parts[0]] = funcs
byfunc = collections.defaultdict(set)
for fid, rows in faults.items():
    for r in rows: byfunc[r.split('(')[0]].add(fid)
print("faults caught by exactly one function:")
for fid, rows in sorted(faults.items()):
    fs = {r.split('(')[0] for r in rows}
    if len(fs) <= 1:
        print(f"  {fid}: {sorted(fs) or 'crash/no FAIL line'} rows={rows[:6]}")
print("\nfunction -> faults it catches (unique ones starred)")
uniq = collections.defaultdict(list)
for fid, rows in faults.items():
    fs = {r.split('(')[0] for r in rows}
    if len(fs) == 1: uniq[next(iter(fs))].append(fid)
for fn in sorted(byfunc, key=lambda k: len(byfunc[k])):
    print(f"  {len(byfunc[fn]):3d} {fn}  unique={uniq.get(fn, [])}")

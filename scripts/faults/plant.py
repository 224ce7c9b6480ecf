#!/usr/bin/env python3
"""Plant faults one at a time in TREE, build BUILD, run its tests, record CAUGHT/MISSED, revert.
usage: plant.py TREE BUILD OUT faults.jsonl... [-R ctest-regex]
Each jsonl line: {"id": "...", "file": "members/x.cpp", "find": "exact text", "replace": "text"}
"find" must occur exactly once in the file."""
import json, subprocess, sys, os
# Other builds share the machine's two cores: one build at a time.
LOCK = os.environ.get('BUILD_LOCK', '/tmp/talvio-build.lock')
args = sys.argv[1:]
regex = None
if '-R' in args:
    i = args.index('-R'); regex = args[i + 1]; del args[i:i + 2]
tree, build, out = args[0], args[1], args[2]
faults = [json.loads(l) for f in args[3:] for l in open(f) if l.strip()]
res = open(out, 'a')
for f in faults:
    path = os.path.join(tree, f['file'])
    try:
        src = open(path, encoding='utf-8').read()
    except FileNotFoundError:
        verdict = 'NOT-APPLICABLE (no file)'; print(f['id'], verdict); res.write(f"{f['id']}\t{verdict}\n"); res.flush(); continue
    if src.count(f['find']) != 1:
        verdict = f"NOT-APPLICABLE (found {src.count(f['find'])}x)"
        print(f['id'], verdict); res.write(f"{f['id']}\t{verdict}\n"); res.flush(); continue
    open(path, 'w', encoding='utf-8').write(src.replace(f['find'], f['replace']))
    try:
        b = subprocess.run(['flock', LOCK, 'cmake', '--build', build, '-j2'], capture_output=True, text=True)
        if b.returncode != 0:
            verdict = 'BUILD-FAILS'
        else:
            cmd = ['ctest', '--test-dir', build, '-j2', '-E', 'format', '--timeout', '300', '--output-on-failure']
            if regex: cmd += ['-R', regex]
            env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
            t = subprocess.run(cmd, capture_output=True, text=True, env=env)
            failed = [l.split()[-3] if False else l.strip() for l in t.stdout.splitlines() if '***' in l or 'Failed' in l and 'tests failed' not in l]
            # Which test functions failed, so a trim can tell which cases catch a fault alone.
            functions = sorted({l.split(':', 1)[1].strip().split(')')[0] + ')' if '(' in l else l.split(':', 1)[1].strip()
                                for l in t.stdout.splitlines() if l.startswith('FAIL!')})
            verdict = ('CAUGHT ' + ' | '.join(failed)[:300] + '\t' + ' ; '.join(functions)) if t.returncode != 0 else 'MISSED'
    finally:
        open(path, 'w', encoding='utf-8').write(src)
    print(f['id'], verdict, flush=True); res.write(f"{f['id']}\t{verdict}\n"); res.flush()
subprocess.run(['flock', LOCK, 'cmake', '--build', build, '-j2'], capture_output=True)

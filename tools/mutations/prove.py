#!/usr/bin/env python3
# Usage: tools/mutations/prove.py tools/mutations/document.txt [LINE...]
# Needs a configured dev build (cmake --preset dev). The catching tests are the names in
# the last parentheses of each line's description.
# Applies each mistake of a mutation list in turn, rebuilds, runs the tests named in its
# description and reports whether they failed. Restores every file afterwards.
import re, subprocess, sys, pathlib
root = pathlib.Path(__file__).resolve().parents[2]
lines = [l for l in open(sys.argv[1]).read().splitlines() if l.strip()]
only = set(int(x) for x in sys.argv[2:]) if len(sys.argv) > 2 else None
results = []
for n, line in enumerate(lines, 1):
    if only and n not in only:
        continue
    parts = line.split(' | ', 3)
    if len(parts) != 4:
        results.append((n, 'BAD LINE', line)); continue
    f, orig, mist, what = parts
    tests = re.findall(r'\(([^()]*)\)\s*$', what)
    flt = ':'.join(t.strip().split()[0] for t in tests[-1].split(',')) if tests else '*'
    path = root / f
    text = path.read_text()
    if text.count(orig) != 1:
        results.append((n, 'NOT UNIQUE (%d)' % text.count(orig), orig)); print(n, 'NOT UNIQUE', orig, flush=True); continue
    path.write_text(text.replace(orig, mist))
    try:
        b = subprocess.run(['cmake', '--build', '--preset', 'dev', '-j2', '--target', 'rz_core_tests'], cwd=root, capture_output=True, text=True)
        if b.returncode != 0:
            status = 'BUILD FAILED'
        else:
            try:
                t = subprocess.run(['build/dev/bin/rz_core_tests', '--gtest_filter=' + flt], cwd=root, capture_output=True, text=True, timeout=180)
                status = 'CAUGHT' if t.returncode != 0 else 'MISSED'
            except subprocess.TimeoutExpired:
                status = 'CAUGHT (timeout)'
    finally:
        path.write_text(text)
    results.append((n, status, flt))
    print(n, status, f, flt, flush=True)
subprocess.run(['cmake', '--build', '--preset', 'dev', '-j2', '--target', 'rz_core_tests'], cwd=root, capture_output=True)
print('SUMMARY')
for r in results:
    print(*r)

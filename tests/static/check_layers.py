#!/usr/bin/env python3
"""The project's units and which of them each may use, checked on the sources' own includes:
every quoted include must name a header of the including folder or of a folder below it, and
no two units (a source and its header) may include each other in a circle.

    check_layers.py SOURCE_DIR

Prints every include that points up or sideways and every circle, and exits 1 when there is
one. Tests of a unit may use what it uses and the test helpers."""
import collections
import os
import re
import sys

# Folder: the folders its sources may include from, besides its own. "*/tests" folders take
# their unit's, plus the shared test helpers.
BELOW = {
    'base': [],
    'web': ['base'],
    'release_format': ['base'],
    'updater/support': ['release_format', 'web', 'base', 'third_party/zstd'],
    'updater': ['updater/support', 'release_format', 'web', 'base'],
    'tools/publish': ['release_format', 'web', 'base', 'third_party/zstd'],
    'wheel': ['wheel/typelib'],
    'wheel/typelib': ['wheel'],
}
TEST_HELPERS = ['tests/support', 'tests/uihelper', 'release_format/tests']
# Whole runs are tested with the maker's tool writing what the server serves.
TESTS_ALSO = {'updater': ['tools/publish']}
SKIPPED = ('third_party/', 'build/', 'tests/earlier/')

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


TEST_FILE = re.compile(r'(_test\.cpp|_bench\.cpp|_fixture\.h)$')


def unit_of(source):
    """The unit a source belongs to, and whether it is a test's."""
    folder = os.path.dirname(source)
    if folder.endswith('/tests'):
        return folder[:-len('/tests')], True
    return folder, folder.startswith('tests') or bool(TEST_FILE.search(source))


def allowed(source):
    folder = os.path.dirname(source)
    unit, tests = unit_of(source)
    if unit not in BELOW:
        return None   # a folder of test programs and helpers only: not layered
    seen = [folder, unit] + BELOW[unit]
    if tests:
        seen += TEST_HELPERS + TESTS_ALSO.get(unit, [])
    return seen


def main(top):
    sources = []
    for d, dirs, files in os.walk(top):
        rel = os.path.relpath(d, top)
        rel = '' if rel == '.' else rel
        dirs[:] = [x for x in dirs if not x.startswith('.') and not (rel + '/' + x + '/').lstrip('/').startswith(SKIPPED)]
        sources += [os.path.join(rel, f) for f in files if f.endswith(('.h', '.cpp', '.in'))]
    byname = collections.defaultdict(list)
    for f in sources:
        name = os.path.basename(f)
        byname[name[:-3] if name.endswith('.h.in') else name].append(f)

    faults = []
    graph = collections.defaultdict(set)
    for f in sources:
        folder = os.path.dirname(f)
        may = allowed(f)
        text = open(os.path.join(top, f), encoding='utf-8', errors='replace').read()
        for header in INCLUDE.findall(text):
            found = byname.get(os.path.basename(header), [])
            if not found:
                continue   # generated, or the platform's
            where = [h for h in found if os.path.dirname(h) == folder] or found
            if may is not None:
                ok = [h for h in where if os.path.dirname(h) in may]
                if not ok:
                    faults.append(f'{f}: includes {header} from {os.path.dirname(where[0])}, '
                                  f'which {folder} may not use')
                    continue
                where = ok
            target = os.path.splitext(where[0])[0]
            if target != os.path.splitext(f)[0]:
                graph[os.path.splitext(f)[0]].add(target)

    # Circles: Tarjan's strongly connected components.
    index, low, stack, on, circles = {}, {}, [], set(), []
    sys.setrecursionlimit(100000)

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in graph[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on.discard(w)
                part.append(w)
                if w == v:
                    break
            if len(part) > 1:
                circles.append(sorted(part))

    for v in list(graph):
        if v not in index:
            visit(v)
    faults += ['a circle of includes: ' + ' -> '.join(c) for c in circles]
    for fault in faults:
        print(fault)
    print(f'{len(sources)} sources, {sum(len(t) for t in graph.values())} arrows between units, '
          f'{len(faults)} faults')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))

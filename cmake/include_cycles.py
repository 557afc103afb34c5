#!/usr/bin/env python3
"""Finds include cycles between the components of a source folder.

A component is a header and its source file (Foo.h and Foo.cpp). Foo depends on Bar when
any file of Foo includes Bar.h, either as "Bar.h" (beside the including file, or anywhere in
the folder when the name is unique there) or as <folder/Bar.h>. A cycle is a group of
components that depend on each other round a loop, even when no header includes itself.

    include_cycles.py FOLDER     prints the cycles, exit status 1 if there is any
"""

import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]', re.MULTILINE)
SOURCES = ('.h', '.hpp', '.cpp', '.cc')


def components(root):
    """Maps every source file below root (relative path) to its component."""
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith(SOURCES):
                path = os.path.relpath(os.path.join(folder, name), root)
                files[path] = os.path.splitext(path)[0]
    return files


def resolve(include, including, files, by_name, root_name):
    """The file of the folder that an include line names, or None for outside files."""
    beside = os.path.normpath(os.path.join(os.path.dirname(including), include))
    if beside in files:
        return beside
    if include.startswith(root_name + '/') and include[len(root_name) + 1:] in files:
        return include[len(root_name) + 1:]
    if include in files:
        return include
    candidates = by_name.get(os.path.basename(include), [])
    return candidates[0] if len(candidates) == 1 else None


def dependencies(root):
    files = components(root)
    by_name = {}
    for path in files:
        by_name.setdefault(os.path.basename(path), []).append(path)
    root_name = os.path.basename(os.path.abspath(root))
    graph = {component: set() for component in files.values()}
    for path, component in files.items():
        with open(os.path.join(root, path), encoding='latin-1') as source:
            for include in INCLUDE.findall(source.read()):
                target = resolve(include, path, files, by_name, root_name)
                if target and files[target] != component:
                    graph[component].add(files[target])
    return graph


def cycles(graph):
    """Strongly connected groups of more than one component (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(graph[node]):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                member = stack.pop()
                on_stack.discard(member)
                group.append(member)
                if member == node:
                    break
            if len(group) > 1:
                found.append(sorted(group))

    sys.setrecursionlimit(10000)
    for node in sorted(graph):
        if node not in index:
            visit(node)
    return found


def main():
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    graph = dependencies(sys.argv[1])
    found = cycles(graph)
    for group in found:
        print('include cycle: ' + ' <-> '.join(group))
    if not found:
        print('no include cycle among %d components' % len(graph))
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())

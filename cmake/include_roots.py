#!/usr/bin/env python3
"""Checks the include folders of the build against the suite's include rule.

No target may export, or compile with, a folder of the source tree: a header is reached
only through the include root of the library it belongs to (build/include/<target>/),
and such a root holds nothing but folders named after the top-level folders of the tree,
so that every include names where its header comes from (<ostrel/...>, <kestal/...>).

    include_roots.py LIST SOURCE_DIR BINARY_DIR
      LIST         lines "exports|compiles <target> <folder>|<folder>|..." (written by CMake)
      SOURCE_DIR   the source tree
      BINARY_DIR   the build folder (it may lie inside the source tree); its include/
                   folder holds the include roots
Prints each library with the include roots it exports; exit status 1 on any breach.
"""

import os
import sys


def inside(path, folder):
    path, folder = os.path.realpath(path), os.path.realpath(folder)
    return path == folder or path.startswith(folder + os.sep)


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    list_file, source_dir, binary_dir = sys.argv[1:]
    include_dir = os.path.join(binary_dir, 'include')
    top_level = {name for name in os.listdir(source_dir)
                 if os.path.isdir(os.path.join(source_dir, name)) and not name.startswith('.')}
    breaches = []
    with open(list_file, encoding='utf-8') as lines:
        for line in lines:
            kind, _, rest = line.strip().partition(' ')
            target, _, folders = rest.partition(' ')
            if not target:
                continue
            folders = [f for f in folders.split('|') if f]
            if kind == 'exports':
                roots = [os.path.relpath(f, include_dir) for f in folders if inside(f, include_dir)]
                print('%s exports %s' % (target, ' '.join(roots) or 'no include root'))
            for folder in folders:
                if inside(folder, include_dir):
                    strays = sorted(set(os.listdir(folder)) - top_level)
                    if strays:
                        breaches.append('%s %s %s, which holds %s' % (target, kind, folder, ', '.join(strays)))
                elif inside(folder, source_dir) and not inside(folder, binary_dir):
                    breaches.append('%s %s the source folder %s' % (target, kind, folder))
    for breach in breaches:
        print('breach: ' + breach)
    return 1 if breaches else 0


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""Keeps each folder's README true to the folder.

Every folder of src/ has a README.md that lists each of its files with its role. This check,
cheap and without a compiler:
  1. every file of src/F/ (and of its subfolders) is named in src/F/README.md, in backquotes,
     by its name or by its path from the folder; the build file needs no line;
  2. every name a README gives in backquotes is found in some file of src/ other than the
     READMEs, so that a routine renamed or a file removed takes its README line along
     (a name with a `*` stands for a family and is not looked for).
usage: readmes.py TOP"""
import os
import re
import sys

NEEDS_NO_LINE = {'README.md', 'CMakeLists.txt'}


def quoted(text):
    return re.findall(r'`([^`\n]+)`', text)


def main():
    src = os.path.join(sys.argv[1], 'src')
    failures = []
    words = set()
    readmes = {}
    for root, _, names in os.walk(src):
        for name in names:
            path = os.path.join(root, name)
            if name == 'README.md':
                readmes[path] = open(path, errors='replace').read()
            else:
                words |= set(re.findall(r'[A-Za-z_]\w*', open(path, errors='replace').read()))

    for folder in sorted(os.listdir(src)):
        top = os.path.join(src, folder)
        if not os.path.isdir(top):
            continue
        readme = os.path.join(top, 'README.md')
        if readme not in readmes:
            failures.append(f'src/{folder}/ has no README.md')
            continue
        named = set(quoted(readmes[readme]))
        for root, _, names in os.walk(top):
            for name in sorted(names):
                rel = os.path.relpath(os.path.join(root, name), top)
                if name not in NEEDS_NO_LINE and name not in named and rel not in named:
                    failures.append(f'src/{folder}/{rel} is not named in src/{folder}/README.md')

    for readme, text in sorted(readmes.items()):
        for span in quoted(text):
            if '*' in span:
                continue
            for name in re.findall(r'[A-Za-z_]\w*', span):
                if name not in words:
                    failures.append(f'src/{os.path.relpath(readme, src)} names `{name}`, '
                                    'which no source file has')

    for f in sorted(set(failures)):
        print(f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())

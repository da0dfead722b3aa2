#!/usr/bin/env python3
"""Keeps the doors between the subsystems narrow.

Each folder of src/ (but the platform layer, which every folder may use, and Editor/, the
small string helpers) is reached from outside only through its services header, and that
header declares only what other folders use. This check, cheap and without a compiler:
  1. a file includes no header of another folder but that folder's services header;
  2. the names each services header declares (with the headers of its own folder that it
     includes) are those of tests/doors.txt, so that a door widens or narrows only on
     purpose, where a reviewer sees it;
  3. every name a services header declares is used by some file of another folder;
  4. the model, the parameters and the layout engine (floors 1 to 3) include no header of a
     subsystem built on them: they call up only through hooks that subsystem registers. The
     includes not yet turned into hooks are listed in tests/floors.txt, which may only shrink.
Outside users are the files of other folders, tests/support, bench/ and fuzz/. The tests of a
folder (tests/F/) test its insides: they may include its own headers, and their use of a name
does not make it part of the door.
usage: doors.py TOP [--update]"""
import os
import re
import sys

SERVICES = {
    'model': 'model_services.h', 'params': 'param_services.h', 'layout': 'layout_services.h',
    'graphics': 'ge_services.h', 'app': 'app_services.h', 'annotations': 'anno_services.h',
    'editing': 'editing_services.h', 'performance': 'performance_services.h',
    'ImportExport': 'musicxml_services.h', 'console': 'console_services.h'}
OPEN = {'platform', 'Editor'}
# Each subsystem's floor: a folder may include the headers of its own floor and those below.
FLOOR = {'platform': 0, 'Editor': 0, 'model': 1, 'params': 2, 'layout': 3, 'graphics': 4, 'app': 5,
         'annotations': 6, 'editing': 7, 'performance': 8, 'ImportExport': 9, 'console': 10}
GROUND = ('model', 'params', 'layout')  # the floors that must not reach up


def owner(rel):
    """The folder whose insides a file may see: src/F/... and tests/F/... are F's."""
    p = rel.split('/')
    if p[0] in ('src', 'tests') and len(p) > 2 and (p[1] in SERVICES or p[1] in OPEN):
        return p[1]
    return p[0] + '/' + p[1] if len(p) > 2 else p[0]


def strip(text):
    text = re.sub(r'/\*.*?\*/', ' ', text, flags=re.S)
    text = re.sub(r'//[^\n]*', '', text)
    text = re.sub(r'"(\\.|[^"\\\n])*"', '""', text)
    return re.sub(r"'(\\.|[^'\\\n])*'", "''", text)


def statements(code):
    """Top-level statements of a header: (text before any body, body or None)."""
    out, cur, depth, body = [], [], 0, []
    for line in code.split('\n'):
        s = line.strip()
        if depth == 0 and s.startswith('#'):
            m = re.match(r'#\s*define\s+(\w+)', s)
            if m:
                out.append(('#define ' + m.group(1), None))
            continue
        for ch in line + '\n':
            if depth == 0:
                if ch == '{':
                    depth, body = 1, []
                elif ch == ';':
                    out.append((''.join(cur), None))
                    cur = []
                else:
                    cur.append(ch)
            else:
                if ch == '{':
                    depth += 1
                elif ch == '}':
                    depth -= 1
                    if depth == 0:
                        head = ''.join(cur)
                        if re.search(r'=\s*[\w:<>]*\s*$', head):
                            cur.append('{}')  # a braced initializer: the statement goes on
                            continue
                        out.append((head, ''.join(body)))
                        cur = []
                        continue
                body.append(ch)
    return out


def declared(text):
    """Names a header declares at its top level."""
    return set().union(*[g for g, _ in declared_groups(text)])


def declared_groups(text):
    """What each top-level declaration of a header declares, with the names it mentions."""
    groups = []
    for head, body in statements(strip(text)):
        names = set()
        groups.append((names, set(re.findall(r'(?<![.>:\w])[A-Za-z_]\w*', head + ' ' + (body or '')))))
        h = ' '.join(head.split())
        if not h:
            continue
        if h.startswith('#define '):
            names.add(h.split()[1])
            continue
        h = re.sub(r'^template\s*<.*?>\s*', '', h)
        h = re.sub(r'\[\[[^\]]*\]\]\s*', '', h)
        m = re.match(r'(?:typedef\s.*\b(\w+)\s*$)|(?:using\s+(\w+)\s*=)', h)
        if m:
            names.add(m.group(1) or m.group(2))
            continue
        m = re.match(r'(struct|class|union|enum(?:\s+class|\s+struct)?)\s+(?:alignas\(.*?\)\s*)?(\w+)', h)
        if m and '(' not in h[m.end():].split('{', 1)[0].split(':', 1)[0]:
            if body is None and h == m.group(0).strip():
                continue  # a forward declaration
            if body is not None and not re.search(r'\)\s*(const\s*)?$', h):
                names.add(m.group(2))
                if m.group(1) == 'enum':
                    for e in body.split(','):
                        e = e.strip()
                        if e:
                            names.add(re.match(r'\w+', e).group(0))
                continue
        if re.match(r'(static_assert|namespace|extern "C")\b', h):
            continue
        if re.search(r'\w::~?\w+\s*\(', h.split('=', 1)[0]):
            continue  # a member defined outside its class
        m = re.match(r'[^(]*\(\s*\*\s*(\w+)\s*\)\s*\(', h)
        if m:  # a pointer to a function
            names.add(m.group(1))
            continue
        # a function: the name before the first parenthesis not inside an initializer
        pre = h.split('=', 1)[0] if re.search(r'=(?!=)', h.split('(', 1)[0]) else h
        m = re.search(r'(operator\s*\S+?|~?\w+)\s*\(', pre) if '(' in pre else None
        if m and '=' not in h.split('(', 1)[0]:
            names.add(m.group(1).replace(' ', ''))
            continue
        # variables: the names before '=', '{', '[' or the end, comma-separated
        for part in re.split(r',(?![^()<>\[\]{}]*[)>\]}])', h):
            part = re.split(r'[={\[]', part, 1)[0].strip()
            m = re.search(r'(\w+)\s*$', part)
            if m:
                names.add(m.group(1))
    return [(n, t - n) for n, t in groups]


def door_text(top, folder):
    """A services header with the headers of its own folder that it includes: all one door."""
    text = open(os.path.join(top, 'src', folder, SERVICES[folder])).read()
    for header in re.findall(r'^#include "' + folder + r'/(\w+\.h)"', text, re.M):
        text += '\n' + open(os.path.join(top, 'src', folder, header)).read()
    return text


def source_files(top):
    for d in ('src', 'tests', 'bench', 'fuzz'):
        for root, _, files in os.walk(os.path.join(top, d)):
            for f in files:
                if f.endswith(('.h', '.cpp')):
                    yield os.path.relpath(os.path.join(root, f), top).replace(os.sep, '/')


def read_list(path):
    doors, folder = {}, None
    for line in open(path):
        line = line.split('#', 1)[0].strip()
        if not line:
            continue
        m = re.match(r'\[(\w+)\]$', line)
        if m:
            folder = m.group(1)
            doors[folder] = set()
        else:
            doors[folder].add(line)
    return doors


def write_list(path, doors):
    with open(path, 'w') as out:
        out.write('# What each folder of src/ offers the others: the names its services header\n'
                  '# declares. tests/doors.py checks it; after a deliberate change of a services\n'
                  '# header, run tests/doors.py . --update and review the difference.\n')
        for folder in SERVICES:
            out.write(f'\n[{folder}]\n')
            for name in sorted(doors[folder], key=lambda n: (n.lower(), n)):
                out.write(name + '\n')


def upward_failures(top, files, include_lines):
    """Includes from the ground floors of a later subsystem's header, but those still listed."""
    found = set()
    for rel in files:
        p = rel.split('/')
        if p[0] != 'src' or p[1] not in GROUND:
            continue
        for folder, _ in include_lines[rel]:
            if FLOOR.get(folder, 0) > FLOOR[p[1]]:
                found.add(f'{rel} {folder}')
    list_path = os.path.join(top, 'tests', 'floors.txt')
    listed = set()
    for line in open(list_path):
        line = line.split('#', 1)[0].strip()
        if line:
            listed.add(' '.join(line.split()))
    return ([f'{f.split()[0]} includes a header of {f.split()[1]}/, a later subsystem: call it '
             f'through a hook it registers' for f in sorted(found - listed)]
            + [f'tests/floors.txt lists an include that is gone: {f}' for f in sorted(listed - found)])


def main():
    top = sys.argv[1]
    failures = []
    files = sorted(source_files(top))
    tokens, include_lines = {}, {}
    for rel in files:
        text = open(os.path.join(top, rel), errors='replace').read()
        include_lines[rel] = re.findall(r'^#include "(\w+)/(\w+\.h)"', text, re.M)
        tokens[rel] = set(re.findall(r'[A-Za-z_]\w*', strip(text)))

    for rel in files:
        for folder, header in include_lines[rel]:
            if (folder in SERVICES and owner(rel) != folder and header != SERVICES[folder]
                    and os.path.exists(os.path.join(top, 'src', folder, header))):
                failures.append(f'{rel} includes {folder}/{header}: '
                                f'other folders reach {folder}/ only through {SERVICES[folder]}')

    failures += upward_failures(top, files, include_lines)

    groups = {f: declared_groups(door_text(top, f)) for f in SERVICES}
    doors = {f: set().union(*[n for n, _ in g]) for f, g in groups.items()}
    list_path = os.path.join(top, 'tests', 'doors.txt')
    if '--update' in sys.argv:
        write_list(list_path, doors)
    listed = read_list(list_path)
    for folder in SERVICES:
        added = doors[folder] - listed.get(folder, set())
        gone = listed.get(folder, set()) - doors[folder]
        if added:
            failures.append(f'{SERVICES[folder]} declares what tests/doors.txt does not list: '
                            + ' '.join(sorted(added)))
        if gone:
            failures.append(f'tests/doors.txt lists what {SERVICES[folder]} no longer declares: '
                            + ' '.join(sorted(gone)))
        outside = set()
        for rel in files:
            if owner(rel) != folder:
                outside |= tokens[rel] & doors[folder]
        # a declaration is in the door when another folder uses one of its names, or another
        # declaration of the door needs it (a type of a parameter, an enumeration's other values)
        unused = set()
        for names, _ in groups[folder]:
            needed = set().union(*[t for n, t in groups[folder] if n is not names])
            if names and not names & (outside | needed):
                unused |= names
        if unused:
            failures.append(f'{SERVICES[folder]} declares what no other folder uses (move it to a '
                            f'header of {folder}/): ' + ' '.join(sorted(unused)))
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())

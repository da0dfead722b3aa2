#!/usr/bin/env python3
"""stand_in_library.py OUTPUT COMPILER NAME=LIBRARY...: makes OUTPUT, one stand-in for the shared
libraries given (x86-64), each by the name the loader knows it by: the names they offer, with the
same versions, but no code behind them. Every function, if ever called, hands its name to the
launcher's vesk_stand_in_called, which prints again without the stand-in; every variable is
zeroed storage of the same size. It needs no other library, so the libraries those need are not
loaded either. Beside OUTPUT, a link of each library's name leads to it: loaded by those names,
the one file is taken for all of them.

The program that only prints has the libraries the toolkit names for windows, OpenGL, D-Bus and
the like replaced by it (src/CMakeLists.txt, app/main.cpp): it never calls them, and loading them
and what they need was a tenth of a short run."""
import os
import struct
import subprocess
import sys

SHT_DYNSYM, SHT_DYNAMIC = 11, 6
SHT_GNU_VERDEF, SHT_GNU_VERSYM = 0x6FFFFFFD, 0x6FFFFFFF
DT_SONAME = 14
STT_NOTYPE, STT_OBJECT, STT_FUNC, STT_TLS, STT_GNU_IFUNC = 0, 1, 2, 6, 10
STB_GLOBAL, STB_WEAK = 1, 2
SHN_UNDEF, SHN_ABS = 0, 0xFFF1
LINKER_NAMES = {"_init", "_fini", "_edata", "_end", "__bss_start"}


def fail(why):
    sys.exit(f"stand_in_library.py: {why}")


def read_library(path):
    """The library's name for the loader, its versions (name, parent or None, in order) and its
    offered names (name, kind, binding, size, version or None, whether the default version)."""
    data = open(path, "rb").read()
    if data[:4] != b"\x7fELF" or data[4] != 2 or data[5] != 1 or struct.unpack_from("<H", data, 18)[0] != 62:
        fail(f"{path} is not a 64-bit little-endian x86-64 ELF file")
    shoff, = struct.unpack_from("<Q", data, 0x28)
    shentsize, shnum = struct.unpack_from("<HH", data, 0x3A)
    sections = [struct.unpack_from("<IIQQQQIIQQ", data, shoff + i * shentsize) for i in range(shnum)]

    def section(kind):
        return next((s for s in sections if s[1] == kind), None)

    def string(table, offset):
        start = sections[table][4] + offset
        return data[start:data.index(b"\0", start)].decode()

    dynsym = section(SHT_DYNSYM)
    if not dynsym:
        fail(f"{path} offers no names")
    strtab = dynsym[6]

    soname = None
    dynamic = section(SHT_DYNAMIC)
    for offset in range(dynamic[4], dynamic[4] + dynamic[5], 16):
        tag, value = struct.unpack_from("<qQ", data, offset)
        if tag == DT_SONAME:
            soname = string(dynamic[6], value)
    if not soname:
        fail(f"{path} has no name for the loader")

    versions = {}  # index -> (name, parent)
    verdef = section(SHT_GNU_VERDEF)
    if verdef:
        offset = verdef[4]
        for _ in range(verdef[7]):
            _, flags, index, count, _, aux, following = struct.unpack_from("<HHHHIII", data, offset)
            names = []
            at = offset + aux
            for _ in range(count):
                name, next_aux = struct.unpack_from("<II", data, at)
                names.append(string(verdef[6], name))
                at += next_aux
            if not flags & 1:  # not the file's own base version
                versions[index] = (names[0], names[1] if len(names) > 1 else None)
            offset += following
    versym = section(SHT_GNU_VERSYM)

    symbols = []
    for i in range(1, dynsym[5] // 24):
        name, info, _, shndx, _, size = struct.unpack_from("<IBBHQQ", data, dynsym[4] + i * 24)
        kind, binding = info & 0xF, info >> 4
        if shndx in (SHN_UNDEF, SHN_ABS) or binding not in (STB_GLOBAL, STB_WEAK):
            continue
        name = string(strtab, name)
        if name in LINKER_NAMES:
            continue
        if kind == STT_TLS:
            fail(f"{path} offers a thread-local variable, {name}: no stand-in is made for it")
        if kind not in (STT_NOTYPE, STT_OBJECT, STT_FUNC, STT_GNU_IFUNC):
            continue
        version, default = None, True
        if versym:
            index, = struct.unpack_from("<H", data, versym[4] + i * 2)
            default = not index & 0x8000
            version = versions.get(index & 0x7FFF, (None,))[0]
        symbols.append((name, kind, binding, size, version, default))
    return soname, list(versions.values()), symbols


def assembly(symbols):
    # Each function hands its name to the launcher's vesk_stand_in_called (app/main.cpp).
    text = [".text"]
    bss = [".bss"]
    rodata = [".section .rodata.str1.1,\"aMS\",@progbits,1"]
    for n, (name, kind, binding, size, version, default) in enumerate(symbols):
        local = f"vesk_stand_in_{n}"
        if kind in (STT_FUNC, STT_GNU_IFUNC):
            text += [".p2align 4", f".globl {local}", f".type {local},@function", f"{local}:",
                     f"\tleaq .Lname{n}(%rip), %rdi", "\tjmp vesk_stand_in_called@PLT"]
            rodata.append(f".Lname{n}: .asciz \"{name}\"")
            section = text
        else:
            bss += [".p2align 4", f".globl {local}", f".type {local},@object", f".size {local},{size}",
                    f"{local}:", f"\t.zero {max(size, 1)}"]
            section = bss
        if version:
            section.append(f".symver {local},{name}@{'@' if default else ''}{version}")
        else:
            section += [f"{'.weak' if binding == STB_WEAK else '.globl'} {name}", f".set {name},{local}"]
    return "\n".join(text + bss + rodata + [".section .note.GNU-stack,\"\",@progbits", ""])


def version_script(versions):
    if not versions:
        return "{ local: vesk_stand_in*; };\n"
    lines = []
    for i, (name, parent) in enumerate(versions):
        hide = " local: vesk_stand_in*;" if i == 0 else ""
        lines.append(f"{name} {{{hide} }}{' ' + parent if parent else ''};")
    return "\n".join(lines) + "\n"


def main():
    if len(sys.argv) < 4:
        fail("usage: stand_in_library.py OUTPUT COMPILER NAME=LIBRARY...")
    output, compiler = sys.argv[1:3]
    symbols, versions, names = [], [], []
    offered, versioned = set(), set()
    for pair in sys.argv[3:]:
        name, _, library = pair.partition("=")
        soname, library_versions, library_symbols = read_library(library)
        if soname != name:
            fail(f"{library} is named {soname} for the loader, not {name}")
        names.append(name)
        # A name or version two libraries share is offered once.
        versions += [v for v in library_versions if v[0] not in versioned]
        versioned.update(v[0] for v in library_versions)
        symbols += [s for s in library_symbols if (s[0], s[4]) not in offered]
        offered.update((s[0], s[4]) for s in library_symbols)
    with open(output + ".s", "w") as f:
        f.write(assembly(symbols))
    with open(output + ".map", "w") as f:
        f.write(version_script(versions))
    # Two segments (code and names, variables), nothing to protect after loading: the loader maps
    # it in three calls.
    subprocess.run([compiler, "-shared", "-nostdlib", "-o", output, output + ".s",
                    f"-Wl,-soname,{os.path.basename(output)}", f"-Wl,--version-script={output}.map",
                    "-Wl,-z,noseparate-code", "-Wl,-z,norelro"], check=True)
    os.remove(output + ".s")
    os.remove(output + ".map")
    folder = os.path.dirname(output)
    for name in names:
        link = os.path.join(folder, name)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(os.path.basename(output), link)


main()

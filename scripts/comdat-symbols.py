#!/usr/bin/env python3
"""comdat-symbols.py ARCHIVE...: gives every COMDAT section of the COFF
objects the section symbol it needs (in place; run ranlib on those mended).

GCC puts the unwind record of each COMDAT function in a COMDAT section of its
own, ".eh_frame$<function>", and the distribution's strip removed those
sections' symbols. GNU ld pairs such sections by name; lld reads a COMDAT
section only through its symbol and drops it, unwind record and all, so an
exception through such a function ends in std::terminate. Each symbol comes
back as the assembler writes it (static, with an auxiliary section
definition), appended so that no existing index or relocation changes."""
import struct
import sys

COMDAT = 0x1000
STATIC = 3
SELECT_ANY = 2


def mend_object(data):
    """The object with its missing COMDAT section symbols added, and how
    many it added; the object unchanged (and 0) when none is missing."""
    (machine, nsections, _stamp, symtab, nsyms, optsize, _flags) = struct.unpack_from("<HHIIIHH", data, 0)
    if machine not in (0x14C, 0x8664) or symtab == 0:
        return data, 0
    headers = 20 + optsize
    sections = []
    for i in range(nsections):
        h = headers + 40 * i
        (name, _vsize, _vaddr, rawsize, rawptr, relptr, _lineptr, nrel, _nline, flags) = \
            struct.unpack_from("<8sIIIIIIHHI", data, h)
        sections.append((name, rawsize, rawptr, relptr, nrel, flags))
    # The symbol table and the string table must come last: the new records
    # go between them.
    for (_name, rawsize, rawptr, relptr, nrel, _flags) in sections:
        if rawptr + rawsize > symtab or (nrel and relptr + 10 * nrel > symtab):
            raise ValueError("section data after the symbol table")
    defined = set()
    i = 0
    while i < nsyms:
        (_n, _value, secnum, _type, sclass, naux) = struct.unpack_from("<8sIhHBB", data, symtab + 18 * i)
        if sclass == STATIC and naux > 0 and secnum > 0:
            defined.add(secnum)
        i += 1 + naux
    added = []
    for index, (name, rawsize, _rawptr, _relptr, nrel, flags) in enumerate(sections, start=1):
        if not flags & COMDAT or index in defined:
            continue
        # A long name ("/offset"): the same string-table entry.
        symname = struct.pack("<II", 0, int(name[1:].rstrip(b"\0"))) if name.startswith(b"/") else name
        added.append(struct.pack("<8sIhHBB", symname, 0, index, 0, STATIC, 1))
        added.append(struct.pack("<IHHIHB3x", rawsize, nrel, 0, 0, 0, SELECT_ANY))
    if not added:
        return data, 0
    strings = symtab + 18 * nsyms
    out = bytearray(data[:strings]) + b"".join(added) + data[strings:]
    struct.pack_into("<I", out, 12, nsyms + len(added))
    return bytes(out), len(added) // 2


def mend_archive(path):
    with open(path, "rb") as f:
        data = f.read()
    if not data.startswith(b"!<arch>\n"):
        raise ValueError(f"{path}: not an archive")
    out = bytearray(b"!<arch>\n")
    pos, members, mended = 8, 0, 0
    while pos < len(data):
        header = data[pos:pos + 60]
        name, size = header[:16], int(header[48:58].decode().strip())
        body = data[pos + 60:pos + 60 + size]
        pos += 60 + size + (size & 1)
        if name.rstrip() == b"/":  # the symbol index: ranlib writes it anew
            continue
        if name.rstrip() != b"//":
            body, count = mend_object(body)
            if count:
                members += 1
                mended += count
        out += header[:48] + f"{len(body):<10}".encode() + header[58:60] + body
        if len(body) & 1:
            out += b"\n"
    if mended:
        with open(path, "wb") as f:
            f.write(out)
    print(f"{path}: {mended} sections in {members} members given their symbols")


if __name__ == "__main__":
    for archive in sys.argv[1:]:
        mend_archive(archive)

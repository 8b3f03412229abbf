#!/usr/bin/python3
"""pe-facts.py imports|needs|version|timestamps EXE

What the shell tests ask of a Windows program, one fact a line, read with
pefile (Debian's python3-pefile, so Debian's python3): DLL!Name of each
import (DLL!#n by ordinal); "os 5.0" and "subsystem 5.0", what the header
asks for; "0.0.0.6 1033", the version resource's file version and its first
translation's language; "header N", then "resources N" per resource table.
"""
import sys

import pefile


def imports(pe):
    for dll in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        for sym in dll.imports:
            name = sym.name.decode() if sym.name else "#%d" % sym.ordinal
            yield "%s!%s" % (dll.dll.decode(), name)


def needs(pe):
    h = pe.OPTIONAL_HEADER
    yield "os %d.%d" % (h.MajorOperatingSystemVersion, h.MinorOperatingSystemVersion)
    yield "subsystem %d.%d" % (h.MajorSubsystemVersion, h.MinorSubsystemVersion)


def version(pe):
    ms, ls = pe.VS_FIXEDFILEINFO[0].FileVersionMS, pe.VS_FIXEDFILEINFO[0].FileVersionLS
    translations = [var.entry[b"Translation"] for info in pe.FileInfo[0] if info.Key == b"VarFileInfo"
                    for var in info.Var if b"Translation" in var.entry]
    yield "%d.%d.%d.%d %d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF,
                              int(translations[0].split()[0], 16))


def timestamps(pe):
    yield "header %d" % pe.FILE_HEADER.TimeDateStamp
    pending = [getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)]
    while pending:
        directory = pending.pop()
        if directory is not None:
            yield "resources %d" % directory.struct.TimeDateStamp
            pending += [getattr(e, "directory", None) for e in directory.entries]


FACTS = {f.__name__: f for f in (imports, needs, version, timestamps)}
if len(sys.argv) != 3 or sys.argv[1] not in FACTS:
    sys.exit(__doc__.splitlines()[0])
try:
    print("\n".join(FACTS[sys.argv[1]](pefile.PE(sys.argv[2]))))
except (OSError, pefile.PEFormatError, AttributeError, IndexError, KeyError) as e:
    sys.exit("%s: no %s: %s" % (sys.argv[2], sys.argv[1], e))

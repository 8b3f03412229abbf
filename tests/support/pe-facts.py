#!/usr/bin/python3
"""pe-facts.py imports|needs|version|timestamps EXE

What the shell checks ask of a Windows program, read with pefile (Debian's
python3-pefile, for Debian's own /usr/bin/python3):
  imports     one line per imported function: DLL!Name (DLL!#n by ordinal)
  needs       the systems the header asks for: "os 5.0", "subsystem 5.0"
  version     the file version of the version resource and the language of
              its first translation, in decimal: "0.0.0.6 1033"
  timestamps  every time stamp the file carries, one line each: "header 0",
              then "resources N" for each resource directory
Fails, saying why, when the file is no PE file or lacks what is asked.
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
    fixed = pe.VS_FIXEDFILEINFO[0]
    numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    translations = [var.entry[b"Translation"] for info in pe.FileInfo[0]
                    if info.Key == b"VarFileInfo" for var in info.Var
                    if b"Translation" in var.entry]
    language = int(translations[0].split()[0], 16)
    yield "%d.%d.%d.%d %d" % (numbers + (language,))


def timestamps(pe):
    yield "header %d" % pe.FILE_HEADER.TimeDateStamp
    pending = [getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)]
    while pending:
        directory = pending.pop()
        if directory is None:
            continue
        yield "resources %d" % directory.struct.TimeDateStamp
        pending += [getattr(e, "directory", None) for e in directory.entries]


FACTS = {f.__name__: f for f in (imports, needs, version, timestamps)}

if len(sys.argv) != 3 or sys.argv[1] not in FACTS:
    sys.exit(__doc__.splitlines()[0])
try:
    lines = list(FACTS[sys.argv[1]](pefile.PE(sys.argv[2])))
except (OSError, pefile.PEFormatError, AttributeError, IndexError, KeyError) as e:
    sys.exit("%s: no %s: %s" % (sys.argv[2], sys.argv[1], e))
print("\n".join(lines))

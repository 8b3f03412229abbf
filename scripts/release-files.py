#!/usr/bin/python3
"""The byte-level half of scripts/release.sh --check.

release-files.py exe SIGNED
release-files.py msi SIGNED
    SIGNED holds its signature and nothing else: in the exe a certificate
    table at the very end of the file with one entry, padded to 8 bytes
    with zeros; in the package a compound file with nothing past its last
    sector, no unused sector, no storage, names that are plain file names.
    The signature is the SHA-1 one with the SHA-256 one nested in it, each
    with one signer, no unauthenticated attribute but the nested signature
    and time stamps, no certificate outside the signer's chain and the
    stamps' chains, and nothing after it.
release-files.py same-exe SIGNED UNSIGNED
    SIGNED is UNSIGNED byte for byte, but for what signing writes: the
    checksum, the certificate table's entry in the header, the table.
release-files.py same-msi SIGNED UNSIGNED
    SIGNED has UNSIGNED's streams and entries byte for byte, but for the
    signature stream it adds and the package code and dates of the summary.

Status 0: as it should be; 1: different, each reason on standard output;
2: not readable as such a file. Nothing is written anywhere.
"""
import re
import struct
import sys

import olefile
import pefile
from asn1crypto import cms, parser
from cryptography import x509
from cryptography.exceptions import InvalidSignature
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa

NESTED = "1.3.6.1.4.1.311.2.4.1"
RFC3161_STAMP = "1.3.6.1.4.1.311.3.3.1"
COUNTER_SIGNATURE = "1.2.840.113549.1.9.6"
SIGNATURE_STREAM = "\x05DigitalSignature"
SUMMARY_STREAM = "\x05SummaryInformation"
# What two builds of one commit write anew: the package code and the dates.
SUMMARY_ANEW = {9: "Revision number", 12: "Created", 13: "Last saved"}
SUMMARY_NAMES = {1: "Codepage", 2: "Title", 3: "Subject", 4: "Author", 5: "Keywords", 6: "Comments",
                 7: "Template", 8: "Last saved by", 14: "Pages", 15: "Words", 18: "Application",
                 19: "Security"}


class Different(Exception):
    pass


class Unreadable(Exception):
    pass


# --- signatures ---------------------------------------------------------

def issued_by(child, parent):
    """Whether PARENT's key made CHILD's certificate signature."""
    key = parent.public_key()
    try:
        if isinstance(key, rsa.RSAPublicKey):
            key.verify(child.signature, child.tbs_certificate_bytes, padding.PKCS1v15(),
                       child.signature_hash_algorithm)
        elif isinstance(key, ec.EllipticCurvePublicKey):
            key.verify(child.signature, child.tbs_certificate_bytes, ec.ECDSA(child.signature_hash_algorithm))
        else:
            return False
    except (InvalidSignature, ValueError, TypeError):
        return False
    return True


def chain(signer_id, certificates, what):
    """The certificates among CERTIFICATES ({DER: certificate}) that make
    the chain of the signer SIGNER_ID names: its own, then each issuer's
    that really signed the one below, up to one that issued itself."""
    if signer_id.name != "issuer_and_serial_number":
        raise Different(f"{what} names its signer by key id, not by issuer and serial")
    wanted = signer_id.chosen
    found = [der for der, c in certificates.items()
             if c.issuer.public_bytes() == wanted["issuer"].dump()
             and c.serial_number == wanted["serial_number"].native]
    if len(found) != 1:
        raise Different(f"{what} carries {len(found)} certificates of its signer, not one")
    links = [found[0]]
    while certificates[links[-1]].issuer != certificates[links[-1]].subject:
        below = certificates[links[-1]]
        above = [der for der, c in certificates.items()
                 if der not in links and c.subject == below.issuer and issued_by(below, c)]
        if len(above) != 1:
            break
        links.append(above[0])
    return set(links)


def certificate_set(signed_data, what):
    certificates = {}
    for choice in signed_data["certificates"] or []:
        if choice.name != "certificate":
            raise Different(f"{what} carries a {choice.name} where only certificates belong")
        # One certificate twice adds nothing (a stamp's may carry its own so).
        der = choice.chosen.dump()
        try:
            certificates[der] = x509.load_der_x509_certificate(der)
        except ValueError as e:
            raise Different(f"{what} carries a certificate that cannot be read: {e}") from None
    if signed_data["crls"].native:
        raise Different(f"{what} carries revocation lists")
    return certificates


def attributes(signer_info, what, allowed):
    """The unauthenticated attributes of SIGNER_INFO as {type: value},
    each of a type in ALLOWED, once, with one value."""
    found = {}
    for attribute in signer_info["unsigned_attrs"] or []:
        kind = attribute["type"].dotted
        if kind not in allowed:
            raise Different(f"{what} carries an unauthenticated attribute {kind}:"
                            " nothing but the nested signature and time stamps belongs there")
        if kind in found or len(attribute["values"]) != 1:
            raise Different(f"{what} carries the attribute {kind} more than once")
        found[kind] = attribute["values"][0]
    return found


def content_info(der, what):
    try:
        info = cms.ContentInfo.load(der, strict=True)
        if info["content_type"].native != "signed_data":
            raise Different(f"{what} is not a signature but {info['content_type'].native}")
        signed_data = info["content"]
    except ValueError as e:
        raise Different(f"{what} is not one signature and nothing else: {e}") from None
    if len(signed_data["signer_infos"]) != 1:
        raise Different(f"{what} has {len(signed_data['signer_infos'])} signers, not one")
    return signed_data


def stamp_token(der, what):
    """An RFC 3161 stamp: one signature whose certificates are its signer's chain."""
    token = content_info(der, what)
    certificates = certificate_set(token, what)
    signer = token["signer_infos"][0]
    attributes(signer, what, ())
    outside = set(certificates) - chain(signer["sid"], certificates, what)
    if outside:
        raise Different(f"{what} carries {len(outside)} certificate(s) outside its signer's chain")


def signature(der, what, nested_allowed=True):
    """One signature: one signer, only the nested signature and stamps
    unauthenticated, certificates only of the signer's and the stamps' chains."""
    signed_data = content_info(der, what)
    certificates = certificate_set(signed_data, what)
    signer = signed_data["signer_infos"][0]
    allowed = (COUNTER_SIGNATURE, RFC3161_STAMP) + ((NESTED,) if nested_allowed else ())
    found = attributes(signer, what, allowed)
    used = chain(signer["sid"], certificates, what)
    if COUNTER_SIGNATURE in found:
        # An Authenticode stamp: a signer whose certificates are the outer ones.
        counter = found[COUNTER_SIGNATURE]
        counter = counter if isinstance(counter, cms.SignerInfo) else cms.SignerInfo.load(counter.dump())
        attributes(counter, f"the time stamp of {what}", ())
        used |= chain(counter["sid"], certificates, f"the time stamp of {what}")
    if RFC3161_STAMP in found:
        stamp_token(found[RFC3161_STAMP].dump(), f"the time stamp of {what}")
    outside = set(certificates) - used
    if outside:
        names = ", ".join(certificates[der].subject.rfc4514_string() for der in outside)
        raise Different(f"{what} carries certificates outside its signer's chain and its stamp's: {names}")
    if nested_allowed:
        if NESTED not in found:
            raise Different(f"{what} has no nested signature")
        signature(found[NESTED].dump(), f"the nested signature of {what}", nested_allowed=False)


# --- the exe --------------------------------------------------------------

def pe_file(path):
    try:
        data = open(path, "rb").read()
        return data, pefile.PE(data=data, fast_load=True)
    except (OSError, pefile.PEFormatError) as e:
        raise Unreadable(f"{path} is not a PE file: {e}") from None


def certificate_table(pe):
    entry = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    return entry, entry.VirtualAddress, entry.Size


def check_exe(path):
    data, pe = pe_file(path)
    _, start, size = certificate_table(pe)
    if start == 0 or size == 0:
        raise Different(f"{path} has no certificate table")
    if start % 8 or start + size != len(data):
        raise Different(f"{path} has {len(data) - start - size} bytes after its certificate table"
                        if start + size < len(data) else f"{path}: its certificate table is not where it says")
    length, revision, kind = struct.unpack_from("<IHH", data, start)
    if revision != 0x200 or kind != 2:
        raise Different(f"{path}: its certificate table holds a revision {revision:#x} entry of kind {kind},"
                        " not a PKCS #7 signature")
    body = data[start + 8:start + length]
    try:
        _, _, _, header, contents, trailer = parser.parse(body)
    except ValueError as e:
        raise Different(f"{path}: its certificate table holds no signature: {e}") from None
    der = len(header) + len(contents) + len(trailer)
    # The entry and the table end at the signature padded to 8 bytes.
    if length < 8 or (length + 7) // 8 * 8 != size or (8 + der + 7) // 8 * 8 != size or \
            data[start + 8 + der:].strip(b"\0"):
        raise Different(f"{path}: its certificate table holds more than one signature padded to 8 bytes")
    signature(body[:der], f"the signature of {path}")


def same_exe(signed_path, unsigned_path):
    signed, pe = pe_file(signed_path)
    unsigned, _ = pe_file(unsigned_path)
    entry, start, _ = certificate_table(pe)
    # What signing writes: the checksum, the table's place and size, the
    # zeros that align it, the table.
    masked = [(pe.OPTIONAL_HEADER.get_file_offset() + 64, 4), (entry.get_file_offset(), 8)]
    if start < len(unsigned) or signed[len(unsigned):start].strip(b"\0"):
        raise Different(f"{signed_path} holds more than {unsigned_path} and its signature")
    a, b = bytearray(signed[:len(unsigned)]), bytearray(unsigned)
    for offset, length in masked:
        a[offset:offset + length] = b[offset:offset + length] = bytes(length)
    if a != b:
        first = next(i for i in range(len(a)) if a[i] != b[i])
        raise Different(f"{signed_path} without its signature differs from {unsigned_path} at byte {first}")
    if pe.OPTIONAL_HEADER.CheckSum not in (0, pe.generate_checksum()):
        raise Different(f"{signed_path}: its checksum is not the file's")


# --- the package ----------------------------------------------------------

# A package's stream names are stored packed, two characters in one.
PACKED = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._"


def stream_name(stored):
    name = ""
    for character in stored:
        code = ord(character)
        if 0x3800 <= code < 0x4800:
            name += PACKED[(code - 0x3800) & 0x3F] + PACKED[(code - 0x3800) >> 6]
        elif 0x4800 <= code < 0x4840:
            name += PACKED[code - 0x4800]
        elif code == 0x4840:
            name += "!"  # a table's stream
        else:
            name += character
    return name


PLAIN = re.compile(r"!?[A-Za-z0-9_][A-Za-z0-9_.]*|\x05(DigitalSignature|SummaryInformation)")


def compound_file(path):
    try:
        return olefile.OleFileIO(path)
    except OSError as e:
        raise Unreadable(f"{path} is not a compound file: {e}") from None


def entries(ole, path):
    """{name: directory entry} of the streams and storages, every name plain."""
    found = {}
    for entry in ole.direntries[1:]:
        if entry is None:
            continue
        name = stream_name(entry.name)
        if not PLAIN.fullmatch(name) or name.endswith("."):
            raise Different(f"{path} holds a {'storage' if entry.entry_type == 1 else 'stream'}"
                            f" named {name!r}, not a plain file name")
        if entry.entry_type != olefile.STGTY_STREAM:
            raise Different(f"{path} holds the storage {name}: a package holds streams only")
        if name in found:
            raise Different(f"{path} holds two streams named {name}")
        found[name] = entry
    return found


def check_msi(path):
    ole = compound_file(path)
    size = ole._filesize
    names = entries(ole, path)
    # Every sector of the file belongs to exactly one chain: the FAT's own,
    # the directory's, the mini FAT's, the mini stream's, a stream's.
    sectors = (size - ole.sectorsize) // ole.sectorsize
    if (size - ole.sectorsize) % ole.sectorsize:
        raise Different(f"{path} holds {(size - ole.sectorsize) % ole.sectorsize} bytes past its last sector")
    owner = {}

    def claim(start, what):
        sector = start
        while sector not in (olefile.ENDOFCHAIN, olefile.FREESECT) and len(owner) <= sectors:
            if sector >= sectors or sector in owner:
                raise Different(f"{path}: {what} runs outside the file or into another chain")
            owner[sector] = what
            sector = ole.fat[sector]

    claim(ole.first_dir_sector, "the directory")
    if ole.minifatsect not in (olefile.ENDOFCHAIN, olefile.FREESECT):
        claim(ole.minifatsect, "the mini FAT")
    claim(ole.root.isectStart, "the mini stream")
    for name, entry in names.items():
        if entry.size >= ole.minisectorcutoff:
            claim(entry.isectStart, name)
    for sector in range(sectors):
        if sector not in owner and ole.fat[sector] not in (olefile.FATSECT, olefile.DIFSECT):
            raise Different(f"{path}: sector {sector} holds data that no stream owns"
                            " (data past the package, or hidden in it)")
    if len(ole.fat) > sectors and any(s != olefile.FREESECT for s in ole.fat[sectors:]):
        raise Different(f"{path}: its FAT names sectors past the end of the file")
    hidden(ole, path, names)
    if SIGNATURE_STREAM not in names:
        raise Different(f"{path} has no signature stream")
    signature(ole.openstream([names[SIGNATURE_STREAM].name]).read(),
              f"the signature of {path}")


UNUSED_ENTRY = bytes(68) + b"\xff" * 12 + bytes(48)


def hidden(ole, path, names):
    """Fails where bytes that no stream holds are not zeros: past a
    stream's end in its last sector, in the mini stream, in a directory
    entry that the tree of entries does not reach."""
    data = open(path, "rb").read()

    def chain(start, fat, unit, container):
        sector, raw = start, b""
        while sector not in (olefile.ENDOFCHAIN, olefile.FREESECT):
            raw += container[sector * unit:(sector + 1) * unit]
            sector = fat[sector]
        return raw

    body = data[ole.sectorsize:]
    directory = chain(ole.first_dir_sector, ole.fat, ole.sectorsize, body)
    for index in range(len(directory) // 128):
        entry = directory[index * 128:(index + 1) * 128]
        reached = index < len(ole.direntries) and ole.direntries[index] is not None
        if not reached and entry not in (UNUSED_ENTRY, bytes(128)):
            raise Different(f"{path}: directory entry {index} holds data but is no stream of the package")
    mini = chain(ole.root.isectStart, ole.fat, ole.sectorsize, body)
    if mini[ole.root.size:].strip(b"\0"):
        raise Different(f"{path}: its mini stream holds data past its end")
    ole.loadminifat()
    free = bytearray(mini[:ole.root.size])
    for name, entry in names.items():
        if entry.size >= ole.minisectorcutoff:
            if chain(entry.isectStart, ole.fat, ole.sectorsize, body)[entry.size:].strip(b"\0"):
                raise Different(f"{path}: the stream {name} holds data past its end")
            continue
        sector, left = entry.isectStart, entry.size
        while sector not in (olefile.ENDOFCHAIN, olefile.FREESECT) and left > 0:
            at = sector * ole.minisectorsize
            used = min(left, ole.minisectorsize)
            free[at:at + used] = bytes(used)
            left -= used
            sector = ole.minifat[sector]
    if free.strip(b"\0"):
        raise Different(f"{path}: its mini stream holds data that no stream owns")


def summary_values(data, what):
    """{property id: (offset, length)} of the summary's one section."""
    try:
        (sections,) = struct.unpack_from("<I", data, 24)
        if sections != 1:
            raise Different(f"{what} has {sections} sections, not one")
        (start,) = struct.unpack_from("<I", data, 44)
        _, count = struct.unpack_from("<II", data, start)
        values = {}
        for i in range(count):
            pid, offset = struct.unpack_from("<II", data, start + 8 + 8 * i)
            at = start + offset
            (kind,) = struct.unpack_from("<I", data, at)
            if kind == 30:  # a string: its length, then its bytes
                (length,) = struct.unpack_from("<I", data, at + 4)
                values[pid] = (at + 8, length)
            elif kind == 64:  # a time
                values[pid] = (at + 4, 8)
            else:
                values[pid] = (at + 4, 4)
        return values
    except struct.error:
        raise Different(f"{what} cannot be read as a summary") from None


def same_summary(signed, unsigned, path):
    ours, theirs = summary_values(signed, path), summary_values(unsigned, "the package made")
    a, b = bytearray(signed), bytearray(unsigned)
    if set(ours) != set(theirs) or any(ours[pid] != theirs[pid] for pid in SUMMARY_ANEW if pid in ours):
        return False
    for pid in SUMMARY_ANEW:
        if pid in ours:
            offset, length = ours[pid]
            a[offset:offset + length] = b[offset:offset + length] = bytes(length)
    return a == b


def summary_fields(path):
    ole = compound_file(path)
    fields = ole.getproperties(SUMMARY_STREAM, convert_time=True)
    return {pid: value.decode("cp1252", "replace") if isinstance(value, bytes) else value
            for pid, value in fields.items() if pid not in SUMMARY_ANEW}


def same_msi(signed_path, unsigned_path):
    signed, unsigned = compound_file(signed_path), compound_file(unsigned_path)
    ours, theirs = entries(signed, signed_path), entries(unsigned, unsigned_path)
    reasons = []
    for name in sorted(set(ours) - set(theirs) - {SIGNATURE_STREAM}):
        reasons.append(f"{signed_path} holds a stream {name} the package made has not")
    for name in sorted(set(theirs) - set(ours)):
        reasons.append(f"{signed_path} lacks the stream {name}")
    if signed.root.clsid != unsigned.root.clsid:
        reasons.append(f"{signed_path} is a compound file of class {signed.root.clsid}, not {unsigned.root.clsid}")
    for name in sorted(set(ours) & set(theirs)):
        mine = signed.openstream([ours[name].name]).read()
        made = unsigned.openstream([theirs[name].name]).read()
        if name == SUMMARY_STREAM:
            if not same_summary(mine, made, signed_path):
                reasons.append("its summary differs from the package made, beyond the package code and dates:")
                a, b = summary_fields(signed_path), summary_fields(unsigned_path)
                for pid in sorted(set(a) | set(b)):
                    if a.get(pid) != b.get(pid):
                        field = SUMMARY_NAMES.get(pid, f"property {pid}")
                        reasons.append(f"  {field}: {a.get(pid)} (the package made: {b.get(pid)})")
        elif mine != made:
            kind = "table " + name[1:] if name.startswith("!") else "stream " + name
            reasons.append(f"its {kind} differs from the package made ({len(mine)} bytes, made {len(made)})")
    if reasons:
        raise Different("\n".join(reasons))


def main(argv):
    commands = {"exe": (check_exe, 1), "msi": (check_msi, 1), "same-exe": (same_exe, 2),
                "same-msi": (same_msi, 2)}
    if len(argv) < 2 or argv[1] not in commands or len(argv) != 2 + commands[argv[1]][1]:
        print(__doc__, file=sys.stderr)
        return 2
    command, _ = commands[argv[1]]
    try:
        command(*argv[2:])
    except Different as e:
        print(e)
        return 1
    except Unreadable as e:
        print(e)
        return 2
    except Exception as e:  # a file malformed past what the readers foresee
        print(f"cannot read {' and '.join(argv[2:])}: {type(e).__name__}: {e}")
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

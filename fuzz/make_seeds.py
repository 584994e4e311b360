#!/usr/bin/python3
"""Writes the seed inputs of the fuzz targets into seeds/<target>/.

Document streams of every format version plus the damaged forms the reader must survive; for
the decipher target the same streams behind a password, one of them as a real enciphered file
(the Blowfish block comes from the `cryptography` package, Debian: python3-cryptography).

Regenerate (deterministic):  /usr/bin/python3 fuzz/make_seeds.py
"""
import hashlib
import os
import struct
import warnings

warnings.simplefilter("ignore")
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def text(s):
    b = s.encode("cp1252", errors="replace")
    return struct.pack("<i", len(b)) + b


def i32(v):
    return struct.pack("<i", v)


def u32(v):
    return struct.pack("<I", v)


def dbl(v):
    return struct.pack("<d", v)


def header(version):
    h = i32(12) + dbl(45000.5) + text("") + text("r2")
    if version >= 5:
        h += dbl(44000.25)
    h += b"\x01"  # SyncOn
    if version >= 6:
        h += b"\x00"  # UseFtpEntry
    h += text("ftp.example.org") + i32(21)
    if version >= 7:
        h += b"\x01"  # PassiveMode
    h += text("/pub/doc.pass") + text("user") + text("secret")
    return h


def group(gid, parent, name):
    return b"NODE" + u32(gid) + u32(parent) + text(name)


def entry(version, gid, name, login, password, web, notes, ftp=False):
    e = b"FEUI" + u32(gid) + text(name)
    if version >= 2:
        e += text(login)
    e += text(password) + text(web) + text(notes)
    if version >= 4:
        e += dbl(45001.0) + dbl(45002.5)
    if version >= 6:
        e += (b"\x01" if ftp else b"\x00") + b"\x00\x00\x00"
    return e


def records(version):
    r = group(1, 0, "Web") + group(2, 1, "Mail") + group(3, 0, "Banque é€")
    r += entry(version, 1, "site", "me", "pw1", "https://example.org", "line 1\r\nline 2")
    r += entry(version, 2, "mail", "me@example.org", "pw2", "mailto:me@example.org", "")
    r += entry(version, 3, "ftp", "ftpuser", "ftppw", "ftp.example.org", "", ftp=True)
    return r


def stream(version):
    if version == 1:
        return b"TRS" + records(1) + b"FINI"
    tag = b" 1.%d" % version
    return b"TRS" + tag + (header(version) if version >= 3 else b"") + records(version) + b"FINI"


def damaged():
    good = stream(7)
    body = records(7)
    return {
        "bad_magic": b"TRX" + good[3:],
        "newer_version": b"TRS 1.8" + good[7:],
        "header_text_too_long": b"TRS 1.7" + i32(1) + dbl(1.0) + i32(1 << 30) + b"xx" + body + b"FINI",
        "header_no_node": b"TRS 1.7" + i32(1) + dbl(1.0) + i32(-5),
        "unknown_parent": b"TRS 1.2" + group(5, 9, "orphan") + entry(2, 7, "lost", "", "", "", "") + b"FINI",
        "no_fini": good[:-4] + b"XXXX",
        "ends_after_entry": good[:-4],
        "group_after_entry": b"TRS 1.2" + entry(2, 0, "e", "", "", "", "") + group(1, 0, "g") + b"FINI",
        "cut_in_magic": b"TR",
        "empty_v7": b"TRS 1.7" + header(7) + b"FINI",
        "two_ftp_marks": b"TRS 1.7" + header(7) + group(1, 0, "g")
        + entry(7, 1, "a", "", "", "", "", ftp=True) + entry(7, 1, "b", "", "", "", "", ftp=True) + b"FINI",
    }


def write(target, name, data):
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def xor(a, b):
    return bytes(x ^ y for x, y in zip(a, b))


def encipher_document(password, plain):
    digest = hashlib.sha1(password).digest()
    ecb = Cipher(algorithms.Blowfish(digest), modes.ECB())

    def e(block):
        enc = ecb.encryptor()
        return enc.update(block) + enc.finalize()

    def chain(feedback, data):
        out = bytearray()
        full = len(data) - len(data) % 8
        for i in range(0, full, 8):
            c = e(xor(data[i : i + 8], feedback))
            feedback = xor(feedback, c)
            out += c
        if full < len(data):
            out += xor(data[full:], e(feedback))
        return bytes(out)

    start = e(b"\xff" * 8)
    return chain(start, digest) + chain(start, plain)


streams = {"v%d" % v: stream(v) for v in range(1, 8)}
streams.update(damaged())
for name, data in streams.items():
    write("fuzz_document_stream", name, data)

# Decipher target: one byte giving the password length, the password, then the rest.
password = "Sésame".encode("cp1252")
prefix = bytes([len(password)]) + password
for name in ("v1", "v7", "unknown_parent", "no_fini"):
    write("fuzz_decipher", name, prefix + streams[name])
write("fuzz_decipher", "enciphered_v7", prefix + encipher_document(password, streams["v7"]))
write("fuzz_decipher", "empty_password", b"\x00" + encipher_document(b"", streams["v3"]))

# Clipboard entry record: format version, five texts, two dates, the FTP mark.
def clip_record(name, login, password, web, notes, ftp=False, version=7):
    return (i32(version) + text(name) + text(login) + text(password) + text(web) + text(notes)
            + dbl(45000.25) + dbl(45001.75) + bytes([1 if ftp else 0, 0, 0, 0]))


whole = clip_record("Banque", "jean", "s3cr€t", "https://banque.example", "ligne 1\r\nligne 2")
write("fuzz_clip_record", "entry", whole)
write("fuzz_clip_record", "ftp_entry", clip_record("FTP", "u", "p", "ftp://h/d/f.pass", "", True, 0))
write("fuzz_clip_record", "empty_texts", clip_record("", "", "", "", ""))
write("fuzz_clip_record", "cut_in_dates", whole[:-10])
write("fuzz_clip_record", "count_past_end", i32(7) + u32(0xFFFFFFF0) + b"abc")

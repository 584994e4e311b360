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

# Settings file: the program's own sections in every encoding it reads, and the odd forms.
ini = ("[Options]\r\nLangue=US\r\nAutoCheck=1\r\nLastCheck=12/10/2026 16:10:00\r\nPort=0x15\r\n"
       "Delay=$FF\r\nFlag=1\r\n\r\n[FTP]\r\nServeur=ftp.example.org\r\nPort=21\r\nPassif=0\r\n"
       "Fichier=/pub/doc.pass\r\nLogin=c2VjcmV0IQ==\r\nPass=\r\n[Recent]\r\nFile1=\"/home/me/Mes codes.pass\"\r\n")
write("fuzz_ini_file", "settings_utf8", ini.encode("utf-8"))
write("fuzz_ini_file", "settings_bom", b"\xef\xbb\xbf" + ini.encode("utf-8"))
write("fuzz_ini_file", "settings_utf16le", b"\xff\xfe" + ini.encode("utf-16-le"))
write("fuzz_ini_file", "settings_utf16be", b"\xfe\xff" + ini.encode("utf-16-be"))
write("fuzz_ini_file", "settings_cp1252", "[Options]\r\nNom=Frédéric €\r\n".encode("cp1252"))
write("fuzz_ini_file", "odd_forms",
      b"; comment\n  [ Spaced ]  \nkey = ' quoted '\nKEY=second\n=no key\n[Empty]\n[Spaced]\nk2=v\rlast=x")
write("fuzz_ini_file", "long_value", b"[A]\nk=" + b"x" * 3000 + b"\n")

# Language table: the built-in tables as they are, and the odd lines a table may hold.
for code in ("FR", "US"):
    with open(os.path.join(HERE, "..", "src", "lang", "tables", code + ".txt"), "rb") as f:
        write("fuzz_lang_table", "table_" + code, f.read())
write("fuzz_lang_table", "odd_lines",
      b"no equals\r\n=empty key\r\nKey=first\r\nkey=second\r\nMessages.X=a|b~c~~d\r\rMessages.Y=\n~~~\r\n")

# JSON import: what export prints, the smallest documents and the forms the import refuses.
json_doc = b'''{"header": {"formatVersion": 7, "saveCount": 3, "saveDate": 45000.5, "createDate": 44000.25,
 "reserved1": "", "reserved2": "r2", "syncOn": true, "useFtpEntry": false, "serverName": "ftp.example.org",
 "portNumber": 21, "passiveMode": true, "remotePath": "/pub/doc.pass", "userName": "u", "userPassword": "p"},
 "groups": [{"name": "Web", "parent": null}, {"name": "Mail", "parent": 0}, {"name": "Banque \\u00e9\\u20ac", "parent": null}],
 "entries": [{"group": 0, "name": "site", "login": "me", "password": "pw1", "webAddress": "https://example.org",
   "notes": "line 1\\r\\nline 2", "created": 45001.0, "modifiedAt": 45002.5, "isFtpEntry": false},
  {"group": 2, "name": "ftp", "login": "u", "password": "p", "webAddress": "ftp://h:2121/d/f.pass /PASV",
   "notes": "", "created": 0, "modifiedAt": null, "isFtpEntry": true},
  {"group": null, "name": "loose"}]}'''
write("fuzz_document_json", "document", json_doc)
write("fuzz_document_json", "empty", b'{"groups": [], "entries": []}')
write("fuzz_document_json", "no_header", b'{"groups": [{"name": "g"}], "entries": [{"group": 0}]}')
write("fuzz_document_json", "parent_after_child", b'{"groups": [{"name": "a", "parent": 1}, {"name": "b"}]}')
write("fuzz_document_json", "index_out_of_range", b'{"entries": [{"group": 7}]}')
write("fuzz_document_json", "unknown_field", b'{"header": {"colour": 1}}')
write("fuzz_document_json", "wrong_types", b'{"header": {"saveCount": "3", "portNumber": 1e300, "syncOn": 1}}')
write("fuzz_document_json", "two_ftp_entries",
      b'{"groups": [{"name": "g"}], "entries": [{"group": 0, "isFtpEntry": true}, {"group": 0, "isFtpEntry": true}]}')
write("fuzz_document_json", "big_numbers",
      b'{"header": {"saveCount": 2147483648, "saveDate": -1e308, "portNumber": -1}, "entries": [{"created": 1e400}]}')

# FTP parameters: an entry address, a zero byte, then a credential key or stored value.
for name, address, other in (
    ("full", "ftp://user@myhost:2121/backup/codes.pass /PASV", "ftp.example.org/pub/doc.pass"),
    ("plain", "myhost/codes.pass", "secret"),
    ("host_only", "myhost", ""),
    ("bad_port", "ftp://h:99999999999/x /passif", "c2VjcmV0IQ=="),
    ("negative_port", "h:-21/x", "not base64!"),
    ("server_field", "  FTP://ftp.example.org/  ", "Frédéric"),
    ("file_field", "C:\\dir\\file.pass", "a:b\\c"),
    ("sftp_entry", "sftp://user@myhost:2222/backup/codes.pass", "ftps://[::1]:990/folder/"),
    ("webdav_entry", "HTTPS://user@dav.example.org/dav/codes.pass /PASV", "http://127.0.0.1/x"),
):
    write("fuzz_ftp_parameters", name, address.encode("utf-8") + b"\0" + other.encode("cp1252"))

# Update answers: one-line, keyed, a new address, and line ends of every kind.
for name, answer in (
    ("one_line", b"2.1.0.0\r\n"),
    ("keyed", b"Tresorin=2.0.0.0\r\nOther=1\r\n"),
    ("new_address", b"URL=http://example.org/_soft_/maj.txt\r\nTresorin=9.9\r\n"),
    ("same_address", b"URL=http://127.0.0.1/maj.txt\nTresorin=0.9\n"),
    ("key_only_line", b"URL=\r"),
    ("mixed_ends", b"a\rb\nc\r\nTRESORIN=1.0.0.1\r\r\n"),
    ("cp1252", "Tresorin=2.0 é€\r\n".encode("cp1252")),
):
    write("fuzz_update_answer", name, answer)

# One-time codes: eight bytes of Unix time (little-endian), then the notes.
for name, when, notes in (
    ("rfc", 59, "otpauth://totp/Bank:me?secret=GEZDGNBVGY3TQOJQGEZDGNBVGY3TQOJQ&issuer=Bank"),
    ("params", 1111111109,
     "notes first\r\n  otpauth://totp/x?secret=gezd gnbv gy3t qojq&digits=8&period=60&algorithm=SHA512  \r\nlast"),
    ("sha256", 2000000000, "otpauth://totp/A%20B?algorithm=SHA256&secret=MFRGG===&period=15"),
    ("broken", -1,
     "otpauth://totp/x?secret=1189&digits=9\notpauth://hotp/y?secret=MFRGG&counter=1\notpauth://totp/z?secret="),
):
    write("fuzz_one_time_code", name, struct.pack("<q", when) + notes.encode("utf-8"))

# Strong container headers: the known answer of the tests (a real container), then headers with a
# correct checksum and costs in and out of range, another version, a damaged checksum and a cut.
STRONG_MAGIC = bytes([0x89]) + b"TRSX\r\n\x1a"


def strong_header(passes, memory_kib, version=1, body=b"\0" * 40):
    start = STRONG_MAGIC + bytes([version, 1, 1, 0]) + struct.pack("<II", passes, memory_kib)
    start += bytes(range(16)) + bytes(range(100, 124)) + bytes(16)
    return start + hashlib.blake2b(start, digest_size=16).digest() + body


with open(os.path.join(HERE, "..", "tests", "data", "crypto", "strong_known_answers.txt")) as answers:
    known = [line.split() for line in answers if line.strip() and not line.startswith("#")]
write("fuzz_strong_header", "known_answer", bytes.fromhex(known[1][6]))
write("fuzz_strong_header", "smallest_cost", strong_header(1, 8192))
write("fuzz_strong_header", "one_tebibyte", strong_header(1, 1 << 30))
write("fuzz_strong_header", "many_passes", strong_header(0xFFFFFFFF, 65536))
write("fuzz_strong_header", "version_2", strong_header(1, 8192, version=2))
damaged_sum = bytearray(strong_header(3, 65536))
damaged_sum[80] ^= 1
write("fuzz_strong_header", "damaged_checksum", bytes(damaged_sum))
write("fuzz_strong_header", "cut", strong_header(1, 8192)[:100])

# Imports from other managers: the test fixtures, and the hostile and broken forms.
FOREIGN = os.path.join(HERE, "..", "tests", "data", "foreign")
for target, files in (("fuzz_import_keepass_xml", ["keepassxc.xml"]),
                      ("fuzz_import_csv", ["keepassxc.csv", "chrome.csv", "firefox.csv", "bitwarden.csv",
                                           "lastpass.csv"]),
                      ("fuzz_import_bitwarden_json", ["bitwarden.json"])):
    for name in files:
        with open(os.path.join(FOREIGN, name), "rb") as f:
            write(target, os.path.splitext(name)[0], f.read())
write("fuzz_import_keepass_xml", "billion_laughs",
      b'<?xml version="1.0"?><!DOCTYPE k [<!ENTITY a "aaaa"><!ENTITY b "&a;&a;&a;&a;">]>'
      b"<KeePassFile><Root><Group><Name>&b;</Name></Group></Root></KeePassFile>")
write("fuzz_import_keepass_xml", "truncated", b"<KeePassFile><Meta><RecycleBinUUID>AAE=</RecycleBinUUID></Meta>"
      b"<Root><Group><Name>G</Name><Entry><String><Key>Title</Key><Value>t</Val")
write("fuzz_import_keepass_xml", "totp_layouts",
      b"<KeePassFile><Root><Group><Name>G</Name>"
      b"<Entry><Times><CreationTime>AAAAAAAAAAA=</CreationTime></Times>"
      b"<String><Key>TOTP Seed</Key><Value>ABC</Value></String>"
      b"<String><Key>TOTP Settings</Key><Value>30;6</Value></String></Entry>"
      b"<Entry><String><Key>Password</Key><Value Protected=\"True\">eA==</Value></String></Entry>"
      b"</Group></Root></KeePassFile>")
write("fuzz_import_csv", "semicolons", b"name;url;username;password\r\n\"a;b\";u;v;\"w\"\"x\"\r\n")
write("fuzz_import_csv", "broken_quote", b"name,password\n\"a,b\n")
write("fuzz_import_bitwarden_json", "wrong_types",
      b'{"folders": [{"id": 1}], "items": [{"type": 1, "login": {"uris": [{"uri": 5}]}}]}')
write("fuzz_import_bitwarden_json", "encrypted", b'{"encrypted": true, "encKeyValidation_DO_NOT_EDIT": "x"}')

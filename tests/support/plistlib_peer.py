"""Python's plistlib as the peer of our property lists (tests/support/Plistlib.h).

    plistlib_peer.py docs SEED COUNT OUT    random documents as plistlib writes them: per document
                                            its binary form (containers held in several places written
                                            once), then the XML form of a document XML can hold, at times
                                            with hexadecimal integers, reals too small for a double, CR LF
                                            or CR line ends, or in UTF-16 or an 8-bit encoding its
                                            declaration names, which plistlib reads but never writes
    plistlib_peer.py check SEED COUNT IN    our rewrites of those (per document: binary and XML of the
                                            binary one, binary and XML of the XML one; an empty blob where
                                            we refused) compared with what plistlib wrote
    plistlib_peer.py echo IN OUT            each blob read and written again in binary: b"\\x01" and the
                                            bytes, or b"\\x00" and the error

Blobs: 8-byte big-endian length, then the bytes. The documents of a seed are the same on every run.
"""
import datetime
import plistlib
import random
import re
import struct
import sys

REF = datetime.datetime(2001, 1, 1)
FIRST = datetime.datetime(1, 1, 1)
LAST = datetime.datetime(9999, 12, 31, 23, 59, 59)
# Dates the bug reports named, and fractions near a second's end.
NAMED_DATES = [
    datetime.datetime(1900, 1, 1), datetime.datetime(1932, 12, 13, 20, 45, 52), datetime.datetime(1932, 6, 1, 12),
    datetime.datetime(2069, 12, 31, 23, 59, 59), datetime.datetime(2100, 1, 1), datetime.datetime(1900, 7, 4, 5, 6, 7),
    datetime.datetime(2015, 3, 1, 2, 0, 0, 588395), datetime.datetime(2015, 3, 1, 0, 0, 0, 999999),
    datetime.datetime(1969, 12, 31, 23, 59, 59, 500000), FIRST, LAST,
]
NOT_IN_XML = set(chr(c) for c in range(32) if chr(c) not in "\t\n\r") | {"\ufffe", "\uffff"}


def read_blobs(path):
    data = open(path, "rb").read()
    blobs, at = [], 0
    while at + 8 <= len(data):
        n = int.from_bytes(data[at:at + 8], "big")
        blobs.append(data[at + 8:at + 8 + n])
        at += 8 + n
    return blobs


def write_blobs(path, blobs):
    with open(path, "wb") as f:
        for b in blobs:
            f.write(len(b).to_bytes(8, "big") + b)


class Generator:
    def __init__(self, seed, xml):
        self.r = random.Random(seed)
        self.xml = xml
        self.shared = None

    def text(self, most=8):
        r, out = self.r, []
        for _ in range(r.randrange(0, most + 1)):
            k = r.random()
            if k < 0.3:
                out.append(r.choice("abcXYZ019 &<>\"'$_-.;=(){}"))
            elif k < 0.4:
                out.append(r.choice("\t\n\r"))
            elif k < 0.5 and not self.xml:
                out.append(r.choice("\x00\x01\x0b\x1f\ufffe\uffff"))
            elif k < 0.55:
                out.append("\x7f")
            elif k < 0.8:
                out.append(chr(r.randrange(0x4E00, 0x9FA5)))
            elif k < 0.9:
                out.append(chr(r.randrange(0x10000, 0x10FFFF)))
            else:
                out.append(chr(r.randrange(0x80, 0xD7FF)))
        return "".join(out)

    def date(self):
        r = self.r
        k = r.random()
        if k < 0.2:
            d = r.choice(NAMED_DATES)
        elif k < 0.6 or self.xml:
            d = FIRST + datetime.timedelta(seconds=r.randrange(int((LAST - FIRST).total_seconds()) + 1))
        else:
            # Microseconds where a double holds them: within 2^32 s of 2001.
            d = REF + datetime.timedelta(microseconds=r.randrange(-(2 ** 32) * 10 ** 6 + 1, 2 ** 32 * 10 ** 6))
        if self.xml:
            d = d.replace(microsecond=0)
        assert plistlib.loads(plistlib.dumps(d, fmt=plistlib.FMT_BINARY)) == d
        return d

    def integer(self):
        r = self.r
        return r.choice([
            r.randrange(0, 300), -r.randrange(1, 300), r.randrange(2 ** 8 - 2, 2 ** 8 + 2),
            r.randrange(2 ** 16 - 2, 2 ** 16 + 2), r.randrange(2 ** 32 - 2, 2 ** 32 + 2), r.randrange(2 ** 63, 2 ** 64),
            -(2 ** 63), 2 ** 63 - 1, 2 ** 64 - 1, r.randrange(-(2 ** 63), 2 ** 63),
        ])

    def real(self):
        r = self.r
        k = r.random()
        if k < 0.3:
            return r.choice([0.0, -0.0, float("nan"), float("inf"), float("-inf"), 5e-324, 2.2250738585072014e-308,
                             1.7976931348623157e308, 0.1, 1e20, -1.5])
        if k < 0.6 and not self.xml:
            return struct.unpack(">d", r.getrandbits(64).to_bytes(8, "big"))[0]
        return r.uniform(-1e6, 1e6) * 10 ** r.randrange(-30, 30)

    def scalar(self):
        r = self.r
        kinds = ["text", "text", "int", "real", "bool", "date", "data"] + ([] if self.xml else ["uid"])
        kind = r.choice(kinds)
        if kind == "text":
            return self.text()
        if kind == "int":
            return self.integer()
        if kind == "real":
            return self.real()
        if kind == "bool":
            return r.random() < 0.5
        if kind == "date":
            return self.date()
        if kind == "data":
            return r.randbytes(r.randrange(0, 40))
        return plistlib.UID(r.choice([r.randrange(0, 256), r.randrange(2 ** 32 - 2, 2 ** 32 + 2),
                                      r.randrange(0, 2 ** 64)]))

    def value(self, depth=0):
        r = self.r
        k = r.random()
        if depth < 4 and k < 0.15:
            a = [self.value(depth + 1) for _ in range(r.randrange(0, 6))]
            if r.random() < 0.2:
                self.shared = a
            return a
        if depth < 4 and k < 0.35:
            d = {}
            for _ in range(r.randrange(0, 6)):
                key = self.text(5)
                if key != "CF$UID":
                    d[key] = self.value(depth + 1)
            if not self.xml and r.random() < 0.3:
                # Two keys that differ only in a line end.
                d["a\rb"], d["a\nb"] = self.value(depth + 1), self.value(depth + 1)
            if r.random() < 0.2:
                self.shared = d
            return d
        if k < 0.42 and self.shared is not None and len(self.shared) < 4:
            # A container held in several places, which plistlib writes once.
            return self.shared
        return self.scalar()

    def document(self):
        return self.value() if self.r.random() < 0.2 else {self.text(5): self.value(1) for _ in range(4)}


def documents(seed, count):
    binary, xml = Generator(seed, False), Generator(seed + 1, True)
    return [(binary.document(), xml.document()) for _ in range(count)]


TINY_REALS = ["1e-400", "-1e-400", "2.5e-330", "-7e-999", "0.0001e-321"]
# Names Python's codecs, plistlib's parser and the system's converters all know.
DECLARED = ["ISO-8859-1", "latin1", "windows-1252", "KOI8-R", "iso-8859-15", "US-ASCII"]


def crafted(r, xml):
    """XML as other writers write it and plistlib reads it, though plistlib writes none of it:
    integers in hexadecimal, reals too small for a double, CR LF or CR line ends, UTF-16, an 8-bit
    encoding the declaration names."""
    text = xml.decode("utf-8")
    if r.random() < 0.3:
        text = re.sub(r"<integer>(\d+)</integer>",
                      lambda m: "<integer>%s%x</integer>" % (r.choice(["0x", "0X"]), int(m.group(1)))
                      if r.random() < 0.7 else m.group(0), text)
    if r.random() < 0.3:
        text = re.sub(r"<real>[^<]*</real>",
                      lambda m: "<real>%s</real>" % r.choice(TINY_REALS) if r.random() < 0.7 else m.group(0), text)
    k = r.random()
    if k < 0.2:
        text = text.replace("\n", "\r\n")
    elif k < 0.3:
        text = text.replace("\n", "\r")
    k = r.random()
    if k < 0.2:
        text = text.replace('encoding="UTF-8"', 'encoding="UTF-16"')
        return b"\xff\xfe" + text.encode("utf-16-le") if r.random() < 0.5 else b"\xfe\xff" + text.encode("utf-16-be")
    if k < 0.35:
        # An 8-bit encoding the declaration names; what it cannot hold goes as character references.
        encoding = r.choice(DECLARED)
        text = text.replace('encoding="UTF-8"', 'encoding="%s"' % encoding)
        return text.encode(encoding, "xmlcharrefreplace")
    return text.encode("utf-8")


def written(seed, count):
    """Per document: its binary form as plistlib writes it, then the XML form, crafted at times."""
    r = random.Random(seed + 2)
    return [(plistlib.dumps(b, fmt=plistlib.FMT_BINARY, sort_keys=False),
             crafted(r, plistlib.dumps(x, fmt=plistlib.FMT_XML, sort_keys=False)))
            for b, x in documents(seed, count)]


def holds_no_xml(v):
    """True when XML cannot hold some string or key of the value."""
    if isinstance(v, str):
        return any(c in NOT_IN_XML for c in v)
    if isinstance(v, dict):
        return any(holds_no_xml(k) or holds_no_xml(x) for k, x in v.items())
    if isinstance(v, list):
        return any(holds_no_xml(x) for x in v)
    return False


def as_xml(v):
    """The value as our XML carries it: UIDs as {"CF$UID": n}, dates to the second."""
    if isinstance(v, plistlib.UID):
        return {"CF$UID": v.data}
    if isinstance(v, datetime.datetime):
        return v.replace(microsecond=0)
    if isinstance(v, dict):
        return {k: as_xml(x) for k, x in v.items()}
    if isinstance(v, list):
        return [as_xml(x) for x in v]
    return v


def same(a, b, xml, compared=None):
    """Equality that tells kinds apart (True is not 1) and compares reals by their bits (XML: any NaN).

    Each pair of containers is compared once, so values that share containers compare in the time
    of their distinct pairs, not of their expanded trees."""
    if type(a) is not type(b):
        return False
    if isinstance(a, float):
        if xml and a != a and b != b:
            return True
        return struct.pack(">d", a) == struct.pack(">d", b)
    if isinstance(a, (dict, list)):
        compared = set() if compared is None else compared
        if (id(a), id(b)) in compared:
            return True
        compared.add((id(a), id(b)))
    if isinstance(a, dict):
        return a.keys() == b.keys() and all(same(a[k], b[k], xml, compared) for k in a)
    if isinstance(a, list):
        return len(a) == len(b) and all(same(x, y, xml, compared) for x, y in zip(a, b))
    if isinstance(a, plistlib.UID):
        return a.data == b.data
    return a == b


def docs(seed, count, out):
    blobs = []
    for b, x in written(seed, count):
        blobs += [b, x]
    write_blobs(out, blobs)


def check(seed, count, path):
    ours = read_blobs(path)
    if len(ours) != 4 * count:
        print("expected %d blobs, got %d" % (4 * count, len(ours)))
        return 1
    bad = 0
    for i, (b, x) in enumerate(written(seed, count)):
        wrote = {"b": b, "x": x}
        for j, (origin, form) in enumerate((("b", "binary"), ("b", "xml"), ("x", "binary"), ("x", "xml"))):
            reference = plistlib.loads(wrote[origin])
            blob = ours[4 * i + j]
            refused = form == "xml" and holds_no_xml(reference)
            problem = None
            if refused or not blob:
                if refused != (not blob):
                    problem = "refused" if not blob else "written, though XML cannot hold it"
            else:
                try:
                    back = plistlib.loads(blob)
                    expected = as_xml(reference) if form == "xml" else reference
                    if not same(back, expected, form == "xml"):
                        problem = "differs: %r\n    expected %r" % (back, expected)
                except Exception as e:  # noqa: BLE001 - any failure of plistlib is a finding
                    problem = "plistlib cannot read it: %r" % e
            if problem:
                bad += 1
                if bad <= 10:
                    print("document %d (%s, our %s): %s\n    plistlib wrote %r" %
                          (i, "binary" if origin == "b" else "XML", form, problem, wrote[origin]))
    print("checked %d documents, %d mismatches" % (count, bad))
    return 1 if bad else 0


def echo(path, out):
    blobs = []
    for blob in read_blobs(path):
        try:
            blobs.append(b"\x01" + plistlib.dumps(plistlib.loads(blob), fmt=plistlib.FMT_BINARY, sort_keys=False))
        except Exception as e:  # noqa: BLE001 - the error goes back to the test
            blobs.append(b"\x00" + repr(e).encode())
    write_blobs(out, blobs)


def main(args):
    if args[0] == "docs":
        docs(int(args[1]), int(args[2]), args[3])
    elif args[0] == "check":
        return check(int(args[1]), int(args[2]), args[3])
    elif args[0] == "echo":
        echo(args[1], args[2])
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Writes src/util/sjis_table.inc: the Shift-JIS bytes of every Unicode scalar
value, as the agent writes them into its data files (src/util/sjistable.h).

The reference is glibc's converter as Debian 12 (glibc 2.36) runs it for the
agent: iconv_open("SHIFT-JIS//TRANSLIT//IGNORE", "UTF-8") in the "C" locale,
since the agent never calls setlocale. There, a character without a
Shift-JIS code takes the C locale's transliteration ("™" gives "(TM)", "½"
gives " 1/2 ", U+200B gives nothing) or else "?". The C locale's
transliterations replace one character each and SHIFT-JIS keeps no state, so
a text converts character by character; this script checks that on runs of
consecutive scalar values, after the agent's folding (sjisfold_table.inc),
exactly as the agent converted texts before it carried this table.

Each scalar value is converted on its own; the table keeps those whose bytes
are not "?":
- a page (256 scalar values) has a bitmap of the values it keeps and, per
  64 of them, where their codes start in kCodes;
- a code below 0x100 is one byte, from 0x8140 two bytes, and in between
  0x100 plus the offset of a transliteration (a length byte, then its bytes).

Regenerate on Debian 12 (glibc 2.36), after sjisfold_table.inc:

    scripts/sjis-table.py > src/util/sjis_table.inc
"""
import ctypes
import ctypes.util
import os
import platform
import runpy
import sys

LC_ALL = 6  # glibc's value
RUN = 64  # scalar values per text in the check of whole texts


def load_folding():
    """The folding tables of sjisfold-table.py, as the agent carries them."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sjisfold-table.py")
    return runpy.run_path(path)["Tables"]()


class Glibc:
    """glibc's converter, opened the way the agent opened it."""

    def __init__(self):
        libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        libc.setlocale.restype = ctypes.c_char_p
        libc.setlocale.argtypes = [ctypes.c_int, ctypes.c_char_p]
        # Python adopts the user's LC_CTYPE at start; the agent runs in "C".
        if libc.setlocale(LC_ALL, b"C") is None:
            sys.exit("sjis-table: cannot set the C locale")
        libc.iconv_open.restype = ctypes.c_void_p
        libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
        pointer = ctypes.POINTER(ctypes.c_char_p)
        size = ctypes.POINTER(ctypes.c_size_t)
        libc.iconv.restype = ctypes.c_size_t
        libc.iconv.argtypes = [ctypes.c_void_p, pointer, size, pointer, size]
        self.libc = libc
        self.cd = libc.iconv_open(b"SHIFT-JIS//TRANSLIT//IGNORE", b"UTF-8")
        if self.cd in (None, ctypes.c_void_p(-1).value):
            sys.exit("sjis-table: glibc's SHIFT-JIS converter cannot be opened")

    def convert(self, text):
        data = text.encode()
        self.libc.iconv(self.cd, None, None, None, None)
        source = ctypes.create_string_buffer(data, len(data))
        target = ctypes.create_string_buffer(len(data) * 4 + 16)
        in_at, in_left = ctypes.c_char_p(ctypes.addressof(source)), ctypes.c_size_t(len(data))
        out_at, out_left = ctypes.c_char_p(ctypes.addressof(target)), ctypes.c_size_t(len(target))
        done = self.libc.iconv(self.cd, ctypes.byref(in_at), ctypes.byref(in_left),
                               ctypes.byref(out_at), ctypes.byref(out_left))
        if done == ctypes.c_size_t(-1).value:
            sys.exit(f"sjis-table: glibc cannot convert {text!r} (errno {ctypes.get_errno()})")
        return target.raw[:len(target) - out_left.value]


def scalar_values():
    for c in range(0x110000):
        if not 0xD800 <= c < 0xE000:
            yield c


def is_lead_byte(byte):
    return 0x81 <= byte <= 0x9F or 0xE0 <= byte <= 0xFC


class Table:
    def __init__(self, glibc):
        self.bytes = {}  # scalar value -> bytes, when not "?"
        for c in scalar_values():
            converted = glibc.convert(chr(c)) if c else b"\0"
            if converted != b"?":
                self.bytes[c] = converted
        self.transliterations = bytearray()
        self.offsets = {}
        self.codes = {c: self.code(converted) for c, converted in sorted(self.bytes.items())}

    def code(self, converted):
        if len(converted) == 1:
            return converted[0]
        if len(converted) == 2 and is_lead_byte(converted[0]):
            return converted[0] << 8 | converted[1]
        if converted not in self.offsets:
            self.offsets[converted] = len(self.transliterations)
            self.transliterations += bytes([len(converted)]) + converted
        assert 0x100 + self.offsets[converted] < 0x8140
        return 0x100 + self.offsets[converted]

    def convert(self, text):
        return b"".join(self.bytes.get(ord(ch), b"?") for ch in text)

    def pages(self):
        """(bitmap words, index of each word's first code) of every page that
        keeps a value, and the page of each 256 scalar values (0: none kept)."""
        pages = [([0] * 4, [0] * 4)]
        page_of = [0] * ((max(self.codes) >> 8) + 1)
        index = 0
        for number in range(len(page_of)):
            kept = [c for c in range(number << 8, (number + 1) << 8) if c in self.codes]
            if not kept:
                continue
            words, before = [0] * 4, [0] * 4
            for word in range(4):
                before[word] = index
                for c in kept:
                    if (c & 0xFF) >> 6 == word:
                        words[word] |= 1 << (c & 0x3F)
                        index += 1
            page_of[number] = len(pages)
            pages.append((words, before))
        assert len(pages) <= 0x100
        return pages, page_of


def check(table, folding, glibc):
    """The table gives what the agent gave with glibc: folding, then iconv."""
    assert all(table.bytes.get(c, b"?") == bytes([c]) for c in range(0x80)), "ASCII is not kept byte for byte"
    values = list(scalar_values())[1:]
    for c in values:
        folded = folding.convert_decomposed(chr(c))
        assert table.convert(folded) == glibc.convert(folded), hex(c)
    for start in range(0, len(values), RUN):
        text = folding.convert_decomposed("".join(chr(c) for c in values[start:start + RUN]))
        assert table.convert(text) == glibc.convert(text), hex(values[start])


def c_string(data):
    printable = lambda b: 0x20 <= b < 0x7F and b not in b'"\\?'
    return '"' + "".join(chr(b) if printable(b) else f"\\{b:03o}" for b in data) + '"'


def rows(entries, per_line):
    for start in range(0, len(entries), per_line):
        yield "    " + " ".join(entries[start:start + per_line])


def write(table, out):
    pages, page_of = table.pages()
    out.write(f"// Generated by scripts/sjis-table.py from glibc {platform.libc_ver()[1]}'s SHIFT-JIS converter "
              "in the C locale; do not edit.\n")
    out.write(f"// {len(table.codes)} scalar values with bytes other than \"?\" on {len(pages) - 1} pages, "
              f"{len(table.offsets)} transliterations.\n\n")
    out.write("// The scalar values each page keeps, and where each 64 of them start in kCodes.\n")
    out.write("constexpr Page kPages[] = {\n")
    entries = ["{{" + ", ".join(f"0x{w:016X}" for w in words) + "}, {" + ", ".join(map(str, before)) + "}},"
               for words, before in pages]
    out.write("\n".join(rows(entries, 1)) + "\n};\n\n")
    out.write("// The page of each 256 scalar values; past the end, every value gives \"?\".\n")
    out.write("constexpr std::uint8_t kPageOf[] = {\n")
    out.write("\n".join(rows([f"{p}," for p in page_of], 24)) + "\n};\n\n")
    out.write("// The code of each scalar value a page keeps, by scalar value.\n")
    out.write("constexpr std::uint16_t kCodes[] = {\n")
    out.write("\n".join(rows([f"0x{code:04X}," for code in table.codes.values()], 12)) + "\n};\n\n")
    out.write("// Transliterations: a length byte, then the Shift-JIS bytes.\n")
    out.write("constexpr char kTransliterations[] =\n")
    pieces = [c_string(bytes([len(t)]) + t) for t in table.offsets]
    out.write("\n".join(rows(pieces, 8)) + ";\n")


def main():
    glibc = Glibc()
    table = Table(glibc)
    check(table, load_folding(), glibc)
    write(table, sys.stdout)


if __name__ == "__main__":
    main()

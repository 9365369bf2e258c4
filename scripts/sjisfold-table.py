#!/usr/bin/env python3
"""Writes src/util/sjisfold_table.inc: how texts are brought into the
Shift-JIS repertoire before conversion (see src/util/sjisfold.h).

Derived from Python's Unicode database (unicodedata) and its shift_jis codec,
which holds the JIS X 0208 repertoire of glibc's SHIFT-JIS converter
(whose bytes the agent carries in sjis_table.inc, scripts/sjis-table.py):

- compositions: a base and a combining mark that make a Shift-JIS character
  (カ + U+3099 gives ガ, A + U+030A gives Å, the ANGSTROM SIGN of 81 F0);
- foldings: what a character that Shift-JIS lacks becomes.
  * A precomposed character becomes the Shift-JIS character that its
    canonical decomposition begins with, the marks after it dropped
    (é gives e, U+00C5 gives the ANGSTROM SIGN, ǘ gives u).
  * A Latin letter "X WITH ..." that has no decomposition (ø, ł, đ) gives X.
  * A combining diacritical mark left over after composition is dropped,
    as iconv's transliteration does in a UTF-8 locale.
  * U+0338 COMBINING LONG SOLIDUS OVERLAY negates: it is never dropped, and a
    precomposed negation (∉) becomes its base and U+0338, as its decomposed
    form reads.

Regenerate after a change here or a new Python (a newer Unicode database):

    scripts/sjisfold-table.py > src/util/sjisfold_table.inc
"""
import re
import sys
import unicodedata

NEGATION = 0x0338
# Blocks of combining diacritical marks, dropped when left over.
MARK_BLOCKS = [(0x0300, 0x036F), (0x1AB0, 0x1AFF), (0x1DC0, 0x1DFF), (0x20D0, 0x20FF), (0xFE20, 0xFE2F),
               (0x3099, 0x309A)]
# Latin letters whose names tell their base letter.
LATIN_BLOCKS = [(0x00C0, 0x024F), (0x1E00, 0x1EFF)]
LETTER_WITH = re.compile(r"LATIN (SMALL|CAPITAL) LETTER ([A-Z]) WITH (?!SMALL LETTER)")


def code_points():
    for c in range(0x80, 0x110000):
        if not 0xD800 <= c < 0xE000:
            yield c


def in_shift_jis(c):
    try:
        chr(c).encode("shift_jis")
        return True
    except UnicodeEncodeError:
        return False


def nfd(c):
    return unicodedata.normalize("NFD", chr(c))


def is_mark(text):
    return all(unicodedata.combining(ch) for ch in text)


class Tables:
    def __init__(self):
        self.sjis = set(range(0x80)) | {c for c in code_points() if in_shift_jis(c)}
        self.by_decomposition = {nfd(c): c for c in sorted(self.sjis) if nfd(c) != chr(c)}
        self.compositions = {}
        for decomposed, composed in self.by_decomposition.items():
            assert len(decomposed) == 2 and all(ord(ch) in self.sjis for ch in decomposed[:1]), hex(composed)
            self.compositions[(ord(decomposed[0]), ord(decomposed[1]))] = composed
        self.foldings = {}
        for c in code_points():
            if c not in self.sjis:
                folded = self.fold(c)
                if folded is not None:
                    self.foldings[c] = folded

    def fold(self, c):
        """What c becomes (a text, empty when dropped), or None to leave it to the Shift-JIS table."""
        decomposed = nfd(c)
        if decomposed != chr(c):
            if chr(NEGATION) in decomposed:
                return decomposed if ord(decomposed[0]) in self.sjis else None
            for length in range(len(decomposed), 0, -1):
                head, tail = decomposed[:length], decomposed[length:]
                if not is_mark(tail):
                    continue
                if len(head) == 1 and ord(head) in self.sjis:
                    return head
                if head in self.by_decomposition:
                    return chr(self.by_decomposition[head])
            if is_mark(decomposed[1:]) and ord(decomposed[0]) != c:
                return self.fold(ord(decomposed[0]))
            return None
        if any(low <= c <= high for low, high in MARK_BLOCKS):
            if c != NEGATION and unicodedata.category(chr(c)).startswith("M"):
                return ""
            return None
        if any(low <= c <= high for low, high in LATIN_BLOCKS):
            match = LETTER_WITH.match(unicodedata.name(chr(c), ""))
            if match:
                letter = match.group(2)
                return letter if match.group(1) == "CAPITAL" else letter.lower()
        return None

    def convert_decomposed(self, text):
        """What the agent makes of a text, as src/util/sjisfold.cpp does."""
        out = []
        for ch in text:
            c = ord(ch)
            if out and (ord(out[-1]), c) in self.compositions:
                out[-1] = chr(self.compositions[(ord(out[-1]), c)])
            elif c in self.foldings:
                out.extend(self.foldings[c])
            else:
                out.append(ch)
        return "".join(out)

    def check(self):
        """Both forms of a text give the same characters."""
        for composed in self.compositions.values():
            assert self.convert_decomposed(nfd(composed)) == chr(composed), hex(composed)
        for c, folded in self.foldings.items():
            if nfd(c) != chr(c):
                assert self.convert_decomposed(nfd(c)) == folded, hex(c)
            assert all(ord(ch) in self.sjis or ord(ch) == NEGATION for ch in folded), hex(c)


def c_string(text):
    return '"' + "".join(f"\\x{byte:02X}" if byte >= 0x80 else chr(byte) for byte in text.encode()) + '"'


def rows(entries, per_line):
    for start in range(0, len(entries), per_line):
        yield "    " + " ".join(entries[start:start + per_line])


def main():
    tables = Tables()
    tables.check()
    out = sys.stdout
    out.write(f"// Generated by scripts/sjisfold-table.py from Unicode {unicodedata.unidata_version}; "
              "do not edit.\n")
    out.write(f"// {len(tables.compositions)} compositions, {len(tables.foldings)} foldings.\n\n")
    out.write("// Base, combining mark and the Shift-JIS character they make, by base and mark.\n")
    out.write("constexpr Composition kCompositions[] = {\n")
    entries = [f"{{0x{b:04X}, 0x{m:04X}, 0x{c:04X}}}," for (b, m), c in sorted(tables.compositions.items())]
    out.write("\n".join(rows(entries, 4)) + "\n};\n\n")
    out.write("// A character that Shift-JIS lacks and the UTF-8 text it becomes, by character.\n")
    out.write("constexpr Folding kFoldings[] = {\n")
    entries = [f"{{0x{c:04X}, {c_string(text)}}}," for c, text in sorted(tables.foldings.items())]
    out.write("\n".join(rows(entries, 6)) + "\n};\n")


if __name__ == "__main__":
    main()

// Texts brought into the Shift-JIS repertoire before their conversion, so
// that a name gives the same bytes whichever Unicode form it arrives in and
// whatever the locale of the process.
//
// macOS hands out names in decomposed form (a base letter followed by
// combining marks), and Shift-JIS holds only composed characters; accented
// letters that Shift-JIS lacks would otherwise depend on a converter's
// transliteration, which differs between locales and between iconv
// implementations. The tables come from the Unicode data
// (scripts/sjisfold-table.py); what folding leaves goes through sjistable.h.
#pragma once

#include <string>

namespace wmi {

// Whether foldForShiftJis may change a text holding this code point.
bool isFoldedForShiftJis(char32_t code);

// The well-formed UTF-8 `text` with every base and combining mark that make
// a Shift-JIS character composed (カ + U+3099 gives ガ; A + U+030A and
// U+00C5 give the ANGSTROM SIGN of 81 F0), every precomposed letter that
// Shift-JIS lacks reduced to the letter it is built on (é gives e, ø gives
// o), and combining marks left over dropped.
std::string foldForShiftJis(const std::string& text);

}  // namespace wmi

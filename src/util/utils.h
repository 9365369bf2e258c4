// Small helpers shared by the collectors and the driver: readers for the
// collected files, text trimming and formatting, local time stamps and the
// UTF-8 to Shift-JIS conversion of the data files.
#pragma once

#include <boost/filesystem/path.hpp>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace wmi {

// Key/value pairs of a "key: value" file, both sides trimmed; the last
// occurrence of a key wins. Only the first 511 bytes of a line are read (the
// rest of a longer line is skipped); a missing file, or anything but a
// regular file, gives an empty map.
std::map<std::string, std::string> parseMap(const boost::filesystem::path& file);

// First line of a file (any length), trimmed; empty when the file is
// missing or not a regular file.
std::string singleLine(const boost::filesystem::path& file);

// The text without leading and trailing blanks, tabs, CR, LF, VT and FF.
std::string trim(const std::string& text);

// Shift-JIS form of a UTF-8 text, up to its first NUL: brought into the
// Shift-JIS repertoire first (sjisfold.h), then written character by character
// as glibc's converter writes it on Debian 12 (sjistable.h), so characters
// Shift-JIS lacks are transliterated ("™" gives "(TM)"), dropped (zero-width
// characters) or become "?", on every system. Input that is not well-formed
// UTF-8 (stray or missing continuation bytes, overlong forms, surrogates,
// values above U+10FFFF) is returned unchanged, NUL and all.
std::string UTF8toSJIS(const std::string& text);

// printf-style formatting, cut to 511 bytes.
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The current local time formatted with strftime; empty when it exceeds 79 bytes.
std::string currentTime(const std::string& fmt);

// Calls `onLine` for each line of `file` that ends with a line feed, in order.
// Reading stops at end of file, so an unterminated last line is not seen;
// a missing or unreadable file, or anything but a regular file, gives no lines.
void forEachTerminatedLine(const boost::filesystem::path& file,
                           const std::function<void(const std::string&)>& onLine);

// The whole content of a regular file; empty when it is missing,
// unreadable or not a regular file.
std::string fileContents(const boost::filesystem::path& file);

// Splits at every single blank; neighbouring blanks give empty fields.
std::vector<std::string> splitAtBlanks(const std::string& text);

// True for a regular file (a link to one included). Only such files are
// read: opening a pipe would block the run, and a folder has no content.
bool isRegularFile(const boost::filesystem::path& path);

// True when the path exists as any kind of entry; a failing status query
// counts as absent.
bool entryExists(const boost::filesystem::path& path);

}  // namespace wmi

namespace wmi {

// UTF-8 form of a Shift-JIS text, read as glibc reads it (5C is the yen sign
// and 7E the overline unless the whole text is ASCII); a byte that starts no
// character becomes U+FFFD. Used to show data files to people.
std::string SJIStoUTF8(const std::string& text);

}  // namespace wmi

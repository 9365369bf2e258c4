// Conversions between the agent's UTF-8 texts and the Shift-JIS of the data files.
#include "util/utils.h"

#include "util/sjisfold.h"

#include <iconv.h>

#include <cerrno>

namespace wmi {

namespace {

bool isAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

enum class Utf8Text { kInvalid, kInRepertoire, kNeedsFolding };

// Whether a text is well-formed UTF-8 (no stray continuation bytes, truncated
// sequences, overlong forms, surrogates or code points above U+10FFFF), and
// if so whether folding may change it.
Utf8Text scanUtf8(const std::string& text) {
  Utf8Text verdict = Utf8Text::kInRepertoire;
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t length;
    unsigned int low = 0x80, high = 0xBF;  // bounds of the second byte
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return Utf8Text::kInvalid;
    }
    if (i + length > text.size()) return Utf8Text::kInvalid;
    char32_t code = c & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return Utf8Text::kInvalid;
      code = (code << 6) | (next & 0x3F);
    }
    if (isFoldedForShiftJis(code)) verdict = Utf8Text::kNeedsFolding;
    i += length;
  }
  return verdict;
}

// One conversion descriptor per direction, opened on first use and reset
// before every conversion; the agent is single-threaded.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts the whole input. On an invalid input sequence, `onInvalid`
  // decides: return false to give up, or true after skipping input bytes.
  template <typename OnInvalid>
  bool convert(const std::string& input, std::string& output, OnInvalid onInvalid) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    output.assign(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t produced = 0;
    while (inLeft > 0) {
      char* out = &output[produced];
      std::size_t outLeft = output.size() - produced;
      const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
      produced = output.size() - outLeft;
      if (result != static_cast<std::size_t>(-1)) break;
      if (errno == E2BIG) {
        output.resize(output.size() * 2);
      } else if (!onInvalid(in, inLeft, output, produced)) {
        return false;
      }
    }
    output.resize(produced);
    return true;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string UTF8toSJIS(const std::string& text) {
  std::string visible = text.substr(0, text.find('\0'));
  if (isAscii(visible)) return visible;
  const Utf8Text kind = scanUtf8(visible);
  if (kind == Utf8Text::kInvalid) return text;  // not UTF-8: nothing sound to convert
  const std::string input = kind == Utf8Text::kNeedsFolding ? foldForShiftJis(visible) : std::move(visible);
  if (isAscii(input)) return input;  // accented Latin letters only
  static Converter toSJIS("SHIFT-JIS//TRANSLIT//IGNORE", "UTF-8");
  if (!toSJIS.ok()) return text;
  std::string output;
  const auto giveUp = [](char*&, std::size_t&, std::string&, std::size_t&) { return false; };
  if (!toSJIS.convert(input, output, giveUp)) return text;
  return output;
}

std::string SJIStoUTF8(const std::string& text) {
  if (isAscii(text)) return text;
  static Converter toUTF8("UTF-8", "SHIFT-JIS");
  if (!toUTF8.ok()) return text;
  std::string output;
  const auto replaceByte = [](char*& in, std::size_t& inLeft, std::string& out, std::size_t& produced) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    out.resize(produced);
    out.append(kReplacement);
    produced = out.size();
    out.resize(produced * 2 + inLeft * 2 + 16);
    ++in;
    --inLeft;
    return true;
  };
  toUTF8.convert(text, output, replaceByte);
  return output;
}

}  // namespace wmi

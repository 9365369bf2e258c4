// Conversions between the agent's UTF-8 texts and the Shift-JIS of the data files.
#include "util/utils.h"

#include "util/nfc/NfcCompose.h"

#include <dlfcn.h>
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

namespace wmi {

namespace {

bool isAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// Code points that never take part in a canonical composition or
// decomposition: a text made of them only is already NFC. These ranges cover
// what Shift-JIS can hold (Latin, Greek and Cyrillic letters, kana without the
// combining voiced marks, kanji, full- and half-width forms, common symbols),
// so most texts skip the costly normalisation.
bool isCompositionInert(char32_t c) {
  if (c <= 0x02FF) return true;
  if (c >= 0x4E00 && c <= 0x9FFF) return true;  // kanji, the most frequent
  static const char32_t kRanges[][2] = {
      {0x0391, 0x03A9}, {0x03B1, 0x03C9}, {0x0400, 0x045F}, {0x2010, 0x2027}, {0x2030, 0x205E},
      {0x2500, 0x257F}, {0x25A0, 0x25FF}, {0x3000, 0x3029}, {0x3030, 0x3098}, {0x309B, 0x30FF},
      {0xFF00, 0xFFEF}};
  for (const auto& range : kRanges)
    if (c >= range[0] && c <= range[1]) return true;
  return false;
}

enum class Utf8Text { kInvalid, kComposed, kMayNeedComposition };

// Whether a text is well-formed UTF-8 (no stray continuation bytes, truncated
// sequences, overlong forms, surrogates or code points above U+10FFFF), and
// if so whether NFC may change it.
Utf8Text scanUtf8(const std::string& text) {
  Utf8Text verdict = Utf8Text::kComposed;
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
    if (!isCompositionInert(code)) verdict = Utf8Text::kMayNeedComposition;
    i += length;
  }
  return verdict;
}

// The composition plugin's entry point, loaded on first use; null (after one
// line on stderr) when the plugin cannot be loaded.
NfcComposeFunction nfcCompose() {
  static const NfcComposeFunction compose = []() -> NfcComposeFunction {
    void* plugin = dlopen(QZ_NFC_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    void* entry = plugin == nullptr ? nullptr : dlsym(plugin, kNfcComposeSymbol);
    if (entry == nullptr) {
      const char* reason = dlerror();
      std::cerr << "qz-agent: names are converted without Unicode composition: "
                << (reason != nullptr ? reason : "plugin not found") << "\n";
    }
    return reinterpret_cast<NfcComposeFunction>(entry);
  }();
  return compose;
}

// macOS hands out names in decomposed form (a base letter followed by a
// combining mark); Shift-JIS only has the composed characters, so compose first.
std::string composed(const std::string& text) {
  const NfcComposeFunction compose = nfcCompose();
  std::size_t size = 0;
  char* result = compose == nullptr ? nullptr : compose(text.data(), text.size(), &size);
  if (result == nullptr) return text;  // no composition: convert the text as it stands
  std::string composedText(result, size);
  std::free(result);
  return composedText;
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
  const std::string input = kind == Utf8Text::kMayNeedComposition ? composed(visible) : std::move(visible);
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

// The composition plugin: NFC through Boost.Locale and ICU. Those libraries
// take longer to load than a whole run spends on most machines' data, and
// only names written in decomposed form (as macOS hands them out) need them,
// so the agent loads this plugin on the first such name only.
#include "util/nfc/NfcCompose.h"

#include <boost/locale/conversion.hpp>
#include <boost/locale/generator.hpp>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

extern "C" __attribute__((visibility("default"))) char* qz_nfc_compose(const char* text, std::size_t size,
                                                                      std::size_t* composedSize) {
  static_assert(std::is_same<decltype(&qz_nfc_compose), NfcComposeFunction>::value, "entry point type");
  try {
    static const std::locale utf8 = boost::locale::generator()("en_US.UTF-8");
    const std::string result = boost::locale::normalize(std::string(text, size), boost::locale::norm_nfc, utf8);
    char* copy = static_cast<char*>(std::malloc(result.size() + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, result.c_str(), result.size() + 1);
    *composedSize = result.size();
    return copy;
  } catch (const std::exception&) {
    return nullptr;  // no normalisation backend, or out of memory
  }
}

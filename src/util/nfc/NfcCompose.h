// The entry point of the composition plugin, shared by the plugin and the
// code that loads it.
#pragma once

#include <cstddef>

// The canonical composition (NFC) of `size` bytes of well-formed UTF-8 at
// `text`, as a buffer from malloc that the caller frees, holding
// `*composedSize` bytes and a terminating NUL; null when composition failed.
using NfcComposeFunction = char* (*)(const char* text, std::size_t size, std::size_t* composedSize);

constexpr const char* kNfcComposeSymbol = "qz_nfc_compose";

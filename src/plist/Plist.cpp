// The entry points of the readers: a file, a stream or a buffer, handed to
// the binary reader when it starts with "bplist00" and to the XML reader
// otherwise.
#include "plist/Plist.h"

#include "plist/PlistBinary.h"
#include "plist/PlistXml.h"

#include <boost/filesystem/operations.hpp>
#include <boost/system/error_code.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <istream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Plist {

namespace {

bool isBinary(const char* data, long long size) { return size >= 8 && std::memcmp(data, "bplist00", 8) == 0; }

// Reads `length` bytes; whatever a short read leaves is zeroed.
void readInto(std::istream& stream, char* buffer, long long length) {
  stream.read(buffer, static_cast<std::streamsize>(length));
  const std::streamsize got = std::max<std::streamsize>(stream.gcount(), 0);
  std::fill(buffer + got, buffer + length, '\0');
}

}  // namespace

void readPlist(const char* fileName, boost::any& message, const ItemKeys* itemKeys) {
  // Opening a folder "succeeds" on some systems and a pipe blocks: only a
  // regular file is read.
  boost::system::error_code ec;
  if (fileName == nullptr || !boost::filesystem::is_regular_file(fileName, ec)) throw Error("Can't open file.");
  std::ifstream stream(fileName, std::ios::in | std::ios::binary);
  if (!stream) throw Error("Can't open file.");
  readPlist(stream, message, itemKeys);
}

void readPlist(std::istream& stream, boost::any& message, const ItemKeys* itemKeys) {
  const std::streampos start = stream.tellg();
  stream.seekg(0, std::ios::end);
  const std::streampos end = stream.tellg();
  const long long length =
      (start == std::streampos(-1) || end == std::streampos(-1)) ? 0 : static_cast<long long>(end - start);
  if (length <= 0) throw Error("Can't read zero length data");
  if (length > INT32_MAX) throw Error("Plist: data larger than 2 GiB");
  stream.seekg(start);
  char signature[8] = {};
  stream.read(signature, std::min<long long>(length, 8));
  stream.clear();
  stream.seekg(start);
  boost::any result;
  if (isBinary(signature, length)) {
    // Read into the vector that becomes the reader's object table.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
    readInto(stream, reinterpret_cast<char*>(bytes.data()), length);
    result = readBinary(std::move(bytes), itemKeys);
  } else {
    // Not zero-filled first: only what a short read leaves is zeroed.
    const std::unique_ptr<char[]> buffer(new char[static_cast<std::size_t>(length)]);
    readInto(stream, buffer.get(), length);
    result = readXmlInPlace(buffer.get(), static_cast<std::size_t>(length), itemKeys);
  }
  message.swap(result);
}

void readPlist(const char* byteArray, long long size, boost::any& message, const ItemKeys* itemKeys) {
  if (byteArray == nullptr || size <= 0) throw Error("Plist: Empty plist data");
  boost::any result;
  if (isBinary(byteArray, size)) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(byteArray);
    result = readBinary(std::vector<unsigned char>(bytes, bytes + size), itemKeys);
  } else {
    result = readXml(byteArray, static_cast<std::size_t>(size), itemKeys);
  }
  message.swap(result);
}

}  // namespace Plist

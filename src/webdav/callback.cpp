#include "webdav/callback.h"

#include <istream>

namespace WebDAV {
namespace Callback {

std::size_t Append::buffer(char* received, std::size_t size, std::size_t count, void* data) {
  const std::size_t length = size * count;
  static_cast<Data*>(data)->bytes.append(received, length);
  return length;
}

std::size_t Read::stream(char* buffer, std::size_t size, std::size_t count, void* stream) {
  std::istream& in = *static_cast<std::istream*>(stream);
  if (!in) return 0;
  in.read(buffer, static_cast<std::streamsize>(size * count));
  return static_cast<std::size_t>(in.gcount());
}

}  // namespace Callback
}  // namespace WebDAV

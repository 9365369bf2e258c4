// libcurl data callbacks: collecting a response body and reading a request
// body from a stream.
#pragma once

#include <cstddef>
#include <string>

namespace WebDAV {
namespace Callback {

namespace Append {

// Receives a response body.
struct Data {
  std::string bytes;
};

// Write callback: appends the received bytes to the Data behind `data`.
std::size_t buffer(char* received, std::size_t size, std::size_t count, void* data);

}  // namespace Append

namespace Read {

// Read callback: fills `buffer` from the std::istream behind `stream`;
// 0 at the end of the stream.
std::size_t stream(char* buffer, std::size_t size, std::size_t count, void* stream);

}  // namespace Read

}  // namespace Callback
}  // namespace WebDAV

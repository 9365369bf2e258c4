// Runs a fuzz target over every file of the folders given on the command
// line, so seeds and the inputs of past crashes are replayed by every test
// run, not only by the fuzzer.
#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/fstream.hpp>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = boost::filesystem;
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    if (!fs::is_directory(argv[i])) continue;
    for (fs::directory_iterator it(argv[i]), end; it != end; ++it) {
      const std::string name = it->path().filename().string();
      if (!fs::is_regular_file(it->path()) || name.front() == '.') continue;
      fs::ifstream in(it->path(), std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  std::printf("replayed %d inputs\n", replayed);
  return replayed > 0 ? 0 : 1;
}

// The floor for reading an XML property list with this design: read the file
// and build pugixml's DOM, nothing more.
#include <pugixml.hpp>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pugixml-parse FILE\n");
    return 2;
  }
  pugi::xml_document document;
  const pugi::xml_parse_result result = document.load_file(argv[1]);
  if (!result) {
    std::fprintf(stderr, "pugixml-parse: %s\n", result.description());
    return 1;
  }
  return document.first_child() ? 0 : 1;
}

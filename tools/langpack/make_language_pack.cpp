// make-language-pack TABLE CABINET: builds a language pack from a text table (see
// language_pack_builder.h for its form).
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/langpack/language_pack_builder.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s TABLE CABINET\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  std::stringstream table;
  table << in.rdbuf();
  langpack::BuiltPack pack;
  std::string error;
  if (!langpack::ParseTable(table.str(), pack, error) || !langpack::WritePack(pack, argv[2], error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}

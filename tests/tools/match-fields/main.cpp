// match-fields FILE.html [EXPECTED]: runs the form filler's field matching on each form
// of the page with a fixed identity and prints one line per text input and select:
// form index, name, id and the identity key matched ("-" when none). With EXPECTED,
// the lines must equal that file's: a difference is printed and fails (exit 1).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "tools/match-fields/field_matches.h"

namespace {

std::optional<std::string> ReadFile(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: match-fields FILE.html [EXPECTED]\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    if (!ReadFile(argv[i])) {
      std::fprintf(stderr, "match-fields: cannot read %s\n", argv[i]);
      return 1;
    }
  }
  match_fields::UseFixedIdentity();
  const std::string found = match_fields::FormatMatches(match_fields::MatchFields(*ReadFile(argv[1])));
  match_fields::ClearFixedIdentity();
  std::cout << found;
  if (argc == 2) return 0;
  const std::string expected = *ReadFile(argv[2]);
  if (found == expected) return 0;
  std::cerr << "match-fields: the matches differ from " << argv[2] << "; expected:\n" << expected;
  return 1;
}

// match-fields FILE.html: runs the form filler's field matching on each form of the
// page with a fixed identity and prints one line per text input and select: form
// index, name, id and the identity key matched ("-" when none).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "tools/match-fields/field_matches.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: match-fields FILE.html\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "match-fields: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string html((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  match_fields::UseFixedIdentity();
  std::cout << match_fields::FormatMatches(match_fields::MatchFields(html));
  match_fields::ClearFixedIdentity();
  return 0;
}

// Builds a language pack from a plain text table, so that packs can be made and
// tested: a cabinet holding info.ini and language.ini, with each text filed under the
// translator's hash of its lower-cased English.
//
// The table is UTF-8 text. Leading lines "Name=value" until the first empty line
// describe the language (ShortName, LongName, UTF8, SortID, as info.ini holds them).
// Every later line is "English<TAB>translation"; an English part "@Section.Name" files
// the translation under that explicit key instead. Empty lines and lines starting
// with "#" are skipped. "\n" in a translation stands for a line break.
#pragma once

#include <string>

namespace langpack {

struct BuiltPack {
  std::string infoIni;
  std::string languageIni;
};

// False with a message for a line that is not "English<TAB>translation" or a pack
// without ShortName and LongName.
bool ParseTable(const std::string& table, BuiltPack& pack, std::string& error);

// Writes the pack as a cabinet (MSZIP); false with a message on failure.
bool WritePack(const BuiltPack& pack, const std::string& cabinetFile, std::string& error);

}  // namespace langpack

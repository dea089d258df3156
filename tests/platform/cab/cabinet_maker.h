// Cabinets made byte by byte, so that tests can build what no cabinet tool writes:
// damaged headers, hostile member names, cabinet sets. Folders are stored
// (uncompressed), one data block per 32 KiB, with no checksums.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace pellix_test {

struct RawEntry {
  std::string name;  // written as given, followed by a zero byte
  std::uint32_t size = 0;
  std::uint32_t offset = 0;  // in the folder's uncompressed data
  std::uint16_t folder = 0;  // an index, or 0xFFFD/0xFFFE/0xFFFF for entries that span cabinets
  std::uint16_t date = 0x5B8A;  // 2025-12-10
  std::uint16_t time = 0x6000;  // 12:00:00
  std::uint16_t attribs = 0x20;
};

struct RawCabinet {
  std::uint16_t setID = 0;
  std::uint16_t iCabinet = 0;
  std::string previousCabinet, previousDisk, nextCabinet, nextDisk;  // set when not empty
  std::vector<std::string> folders;  // each folder's uncompressed data
  // A data block split between two cabinets of a set: the last block of the last
  // folder continues in the next cabinet, and the first block of the first folder
  // carries that many bytes from the previous one.
  bool splitLastBlock = false;
  std::uint16_t carriedIntoFirstBlock = 0;
  std::vector<RawEntry> entries;
};

std::string BuildCabinet(const RawCabinet& cabinet);

// One stored folder holding the files in order.
std::string StoredCabinet(const std::vector<std::pair<std::string, std::string>>& files);

// Offsets in a cabinet built by StoredCabinet with no neighbours.
inline constexpr std::size_t kFirstFileEntryOffset = 36 + 8;

// Whole files as bytes; WriteFile makes the folders on the way.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

}  // namespace pellix_test

#include "platform/cab/cabinet_maker.h"

#include <fstream>
#include <sstream>

namespace pellix_test {
namespace {

void Put16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(out, static_cast<std::uint16_t>(value >> 16));
}

void Set32(std::string& out, std::size_t at, std::uint32_t value) {
  std::string bytes;
  Put32(bytes, value);
  out.replace(at, 4, bytes);
}

constexpr std::size_t kBlock = 32768;

}  // namespace

std::string BuildCabinet(const RawCabinet& cabinet) {
  std::uint16_t flags = 0;
  if (!cabinet.previousCabinet.empty()) flags |= 0x0001;
  if (!cabinet.nextCabinet.empty()) flags |= 0x0002;
  std::string out = "MSCF";
  Put32(out, 0);
  Put32(out, 0);  // size, set below
  Put32(out, 0);
  Put32(out, 0);  // first file entry, set below
  Put32(out, 0);
  out.push_back(3);
  out.push_back(1);
  Put16(out, static_cast<std::uint16_t>(cabinet.folders.size()));
  Put16(out, static_cast<std::uint16_t>(cabinet.entries.size()));
  Put16(out, flags);
  Put16(out, cabinet.setID);
  Put16(out, cabinet.iCabinet);
  if (flags & 0x0001) out += cabinet.previousCabinet + '\0' + cabinet.previousDisk + '\0';
  if (flags & 0x0002) out += cabinet.nextCabinet + '\0' + cabinet.nextDisk + '\0';
  std::size_t folderTable = out.size();
  for (const std::string& data : cabinet.folders) {
    Put32(out, 0);  // data offset, set below
    Put16(out, static_cast<std::uint16_t>((data.size() + kBlock - 1) / kBlock));
    Put16(out, 0);  // stored
  }
  Set32(out, 16, static_cast<std::uint32_t>(out.size()));
  for (const RawEntry& entry : cabinet.entries) {
    Put32(out, entry.size);
    Put32(out, entry.offset);
    Put16(out, entry.folder);
    Put16(out, entry.date);
    Put16(out, entry.time);
    Put16(out, entry.attribs);
    out += entry.name + '\0';
  }
  for (std::size_t folder = 0; folder < cabinet.folders.size(); ++folder) {
    Set32(out, folderTable + folder * 8, static_cast<std::uint32_t>(out.size()));
    const std::string& data = cabinet.folders[folder];
    for (std::size_t at = 0; at < data.size(); at += kBlock) {
      std::string block = data.substr(at, kBlock);
      std::size_t uncompressed = block.size();
      if (folder == 0 && at == 0) uncompressed += cabinet.carriedIntoFirstBlock;
      if (cabinet.splitLastBlock && folder + 1 == cabinet.folders.size() && at + kBlock >= data.size()) {
        uncompressed = 0;
      }
      Put32(out, 0);  // no checksum
      Put16(out, static_cast<std::uint16_t>(block.size()));
      Put16(out, static_cast<std::uint16_t>(uncompressed));
      out += block;
    }
  }
  Set32(out, 8, static_cast<std::uint32_t>(out.size()));
  return out;
}

std::string StoredCabinet(const std::vector<std::pair<std::string, std::string>>& files) {
  RawCabinet cabinet;
  cabinet.folders.emplace_back();
  for (const auto& [name, data] : files) {
    RawEntry entry;
    entry.name = name;
    entry.size = static_cast<std::uint32_t>(data.size());
    entry.offset = static_cast<std::uint32_t>(cabinet.folders[0].size());
    cabinet.entries.push_back(entry);
    cabinet.folders[0] += data;
  }
  return BuildCabinet(cabinet);
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

}  // namespace pellix_test

#include "flash_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/byte_order.h"

namespace camsim {
namespace {

// Magic, then the area count, then each area as a 32-bit length and its
// bytes, all little-endian so the file moves between machines.
constexpr char kMagic[8] = {'C', 'A', 'M', 'F', 'L', 'S', 'H', '1'};

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t bytes[4];
  quorvel::platform::StoreLE32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}

bool Get32(const std::vector<std::uint8_t>& in, std::size_t* at,
           std::uint32_t* value) {
  if (in.size() - *at < 4) return false;
  *value = quorvel::platform::LoadLE32(in.data() + *at);
  *at += 4;
  return true;
}

std::string TemporaryBeside(const std::string& path) { return path + ".tmp"; }

}  // namespace

FlashLoad LoadFlashFile(const std::string& path, FlashImage* image) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return FlashLoad::kMissing;
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  if (bytes.size() < sizeof kMagic ||
      std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
    return FlashLoad::kInvalid;
  }
  std::size_t at = sizeof kMagic;
  std::uint32_t count = 0;
  if (!Get32(bytes, &at, &count) ||
      count != static_cast<std::uint32_t>(kDeviceRecordArea)) {
    return FlashLoad::kInvalid;
  }
  FlashImage loaded(count);
  for (auto& area : loaded) {
    std::uint32_t size = 0;
    if (!Get32(bytes, &at, &size) || bytes.size() - at < size) {
      return FlashLoad::kInvalid;
    }
    area.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
  }
  if (at != bytes.size()) return FlashLoad::kInvalid;
  *image = std::move(loaded);
  return FlashLoad::kLoaded;
}

bool CanSaveFlashFile(const std::string& path) {
  const std::string temporary = TemporaryBeside(path);
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  std::fclose(file);
  std::remove(temporary.c_str());
  return true;
}

bool SaveFlashFile(const std::string& path, const FlashImage& image) {
  std::vector<std::uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
  Put32(bytes, static_cast<std::uint32_t>(image.size()));
  for (const auto& area : image) {
    Put32(bytes, static_cast<std::uint32_t>(area.size()));
    bytes.insert(bytes.end(), area.begin(), area.end());
  }
  const std::string temporary = TemporaryBeside(path);
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace camsim

// Whole-file reads and writes for camtool's data files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace camtool {

// The file's bytes, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadFile(const std::string& path);

// Writes through a temporary beside path, so a failed write never leaves a
// truncated file under the name a script will read.
bool WriteFile(const std::string& path, const std::uint8_t* bytes,
               std::size_t size);

}  // namespace camtool

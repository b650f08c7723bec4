#include <cstdio>

#include "platform/file.h"
#include "platform/text.h"

namespace quorvel::platform {

std::FILE* CreateFileForWriting(const std::wstring& name) {
  const std::string path = FileSystemName(name);
  return path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
}

bool RemoveFile(const std::wstring& name) {
  const std::string path = FileSystemName(name);
  return !path.empty() && std::remove(path.c_str()) == 0;
}

}  // namespace quorvel::platform

#include <stdio.h>

#include "platform/file.h"

namespace quorvel::platform {

// Wide names reach the file system unchanged, whatever the code page.
std::FILE* CreateFileForWriting(const std::wstring& name) {
  return name.empty() ? nullptr : ::_wfopen(name.c_str(), L"wb");
}

bool RemoveFile(const std::wstring& name) {
  return !name.empty() && ::_wremove(name.c_str()) == 0;
}

}  // namespace quorvel::platform

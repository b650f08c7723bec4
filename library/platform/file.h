// Files named by wide text.
#pragma once

#include <cstdio>
#include <string>

namespace quorvel::platform {

// Creates or truncates the file for binary writing; null when the name
// cannot be expressed on this platform or the file cannot be created.
std::FILE* CreateFileForWriting(const std::wstring& name);
// Removes the file; false when it could not.
bool RemoveFile(const std::wstring& name);

}  // namespace quorvel::platform

// Narrow and wide text conversion.
#pragma once

#include <string>

namespace quorvel::platform {

// The process locale's multibyte reading of narrow text; bytes that do not
// convert are widened one to one. A null pointer gives the empty text.
std::wstring WidenText(const char* narrow);
// One byte for each wide character (its low 8 bits), as address texts are
// narrowed.
std::string NarrowAddress(const wchar_t* wide);
// A wide file name in the platform's file-name encoding; empty when it
// cannot be represented.
std::string FileSystemName(const std::wstring& wide);

}  // namespace quorvel::platform

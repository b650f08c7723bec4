#include <windows.h>

#include "platform/text.h"

namespace quorvel::platform {

std::wstring WidenText(const char* narrow) {
  std::wstring wide;
  if (narrow == nullptr || *narrow == '\0') return wide;
  // The system ANSI code page, as the A exports have always read their
  // texts. Every byte has a reading in it, so this only fails on an
  // exhausted system; then bytes are widened one to one.
  const int length = ::MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
  if (length > 0) {
    wide.resize(static_cast<std::size_t>(length));
    if (::MultiByteToWideChar(CP_ACP, 0, narrow, -1, wide.data(), length) ==
        length) {
      wide.resize(static_cast<std::size_t>(length - 1));
      return wide;
    }
  }
  wide.clear();
  for (; *narrow != '\0'; ++narrow) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*narrow)));
  }
  return wide;
}

std::string NarrowAddress(const wchar_t* wide) {
  std::string narrow;
  if (wide == nullptr) return narrow;
  for (; *wide != L'\0'; ++wide) {
    narrow.push_back(static_cast<char>(static_cast<unsigned char>(*wide)));
  }
  return narrow;
}

std::string FileSystemName(const std::wstring& wide) {
  // The ANSI code page's form of the name, what the narrow file functions
  // take; files are opened by their wide names (platform/file.h), so this
  // matters only to callers of the narrow ones. No best-fit letters: a name
  // must never be narrowed into the name of another file.
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS,
                                           wide.data(), size, nullptr, 0,
                                           nullptr, &lossy);
  if (length <= 0 || lossy) return std::string();
  std::string name(static_cast<std::size_t>(length), '\0');
  if (::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                            name.data(), length, nullptr, &lossy) != length ||
      lossy) {
    return std::string();
  }
  return name;
}

}  // namespace quorvel::platform

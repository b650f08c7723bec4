#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/text.h"

namespace quorvel::platform {

std::wstring WidenText(const char* narrow) {
  std::wstring wide;
  if (narrow == nullptr) return wide;
  std::mbstate_t state{};
  const char* cursor = narrow;
  std::size_t left = std::strlen(narrow);
  while (left > 0) {
    wchar_t character = 0;
    const std::size_t used = std::mbrtowc(&character, cursor, left, &state);
    if (used == static_cast<std::size_t>(-1) ||
        used == static_cast<std::size_t>(-2) || used == 0) {
      // Not a character of the locale: keep the byte as its own code.
      wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*cursor)));
      state = std::mbstate_t{};
      ++cursor;
      --left;
      continue;
    }
    wide.push_back(character);
    cursor += used;
    left -= used;
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
  std::string name;
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (const wchar_t character : wide) {
    const std::size_t used = std::wcrtomb(buffer, character, &state);
    if (used == static_cast<std::size_t>(-1)) {
      // Outside the locale: a code below 256 is a byte that was widened one
      // to one and goes back as that byte.
      if (character < 0 || character > 0xFF) return std::string();
      name.push_back(static_cast<char>(character));
      state = std::mbstate_t{};
      continue;
    }
    name.append(buffer, used);
  }
  return name;
}

}  // namespace quorvel::platform

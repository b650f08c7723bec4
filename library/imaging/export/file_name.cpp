// The file-name rule of the exports.
#include "imaging/export/image_export.h"

#include <cwctype>

namespace quorvel {
namespace {

// The name buffer of the exports holds 256 wide characters with the end.
constexpr std::size_t kLongestName = 255;

}  // namespace

std::wstring NormaliseFileName(std::wstring_view name,
                               std::wstring_view extension) {
  std::size_t begin = 0, end = name.size();
  while (begin < end && std::iswspace(static_cast<wint_t>(name[begin])))
    ++begin;
  while (end > begin && std::iswspace(static_cast<wint_t>(name[end - 1])))
    --end;
  std::wstring trimmed(name.substr(begin, end - begin));

  if (trimmed.size() > 4) {
    std::wstring tail = trimmed.substr(trimmed.size() - 4);
    for (wchar_t& c : tail)
      c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    if (tail != extension) trimmed += extension;
  } else {
    trimmed += extension;
    // A bare extension, or nothing before it, names no file.
    if (trimmed.front() == L'.') trimmed.clear();
  }
  if (trimmed.size() > kLongestName) trimmed.clear();
  return trimmed;
}

}  // namespace quorvel

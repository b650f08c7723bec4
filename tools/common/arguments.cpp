#include "arguments.h"

#include <charconv>
#include <cmath>
#include <string>
#include <utility>

namespace tools {

bool ParseInt32(std::string_view text, std::int32_t* value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, *value);
  return error == std::errc() && stop == end;
}

bool ParseFiniteDouble(std::string_view text, double* value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  double parsed = 0;
  const auto [stop, error] =
      std::from_chars(text.data(), end, parsed, std::chars_format::general);
  if (error != std::errc() || stop != end || !std::isfinite(parsed)) {
    return false;
  }
  *value = parsed;
  return true;
}

namespace {

std::optional<std::string> CheckSide(const char* name, std::string_view text,
                                     std::int32_t low, std::int32_t* value) {
  if (ParseInt32(text, value) && *value >= low && *value <= kMaxSide) {
    return std::nullopt;
  }
  return std::string(name) + " must be a number from " + std::to_string(low) +
         " to " + std::to_string(kMaxSide) + ", not '" + std::string(text) +
         "'";
}

}  // namespace

std::optional<std::string> CheckSize(std::string_view widthText,
                                     std::string_view heightText,
                                     std::int32_t* width,
                                     std::int32_t* height) {
  if (auto refused = CheckSide("width", widthText, kMinWidth, width)) {
    return refused;
  }
  return CheckSide("height", heightText, kMinHeight, height);
}

std::optional<std::string> ParseSize(std::string_view text, std::int32_t* width,
                                     std::int32_t* height) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) {
    return "WIDTHxHEIGHT expected, for example 640x480, not '" +
           std::string(text) + "'";
  }
  return CheckSize(text.substr(0, x), text.substr(x + 1), width, height);
}

bool WantsHelp(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") return true;
  }
  return false;
}

Arguments::Arguments(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) words_.emplace_back(argv[i]);
}

bool Arguments::AtOption() const {
  return !done() && words_[next_].substr(0, 2) == "--";
}

std::string_view Arguments::Take() {
  const bool option = AtOption();
  std::string_view word = words_[next_++];
  inlineValue_.reset();
  if (option) {
    const std::size_t equals = word.find('=');
    if (equals != std::string_view::npos) {
      inlineValue_ = word.substr(equals + 1);
      word = word.substr(0, equals);
    }
  }
  return word;
}

std::optional<std::string_view> Arguments::Value() {
  if (inlineValue_) return std::exchange(inlineValue_, std::nullopt);
  if (done() || AtOption()) return std::nullopt;
  return words_[next_++];
}

std::vector<std::string_view> Arguments::Rest() const {
  return {words_.begin() + static_cast<std::ptrdiff_t>(next_), words_.end()};
}

}  // namespace tools

// Strict reading of command lines, shared by camsim, camtool and camview.
// A word counts as a number only when all of it is one, so "5x", "abc" or
// an overflowing value is refused with its reason instead of being run as
// something nearby.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// Exit status of a command line a tool refuses; 1 stays for failures met
// while running (a camera that cannot be reached, a file that cannot be
// read).
inline constexpr int kUsageStatus = 2;

// Picture sizes the tools ask the library for. The library carries sizes
// in 16 bits and refuses more than 32767; it also takes a width of 3 or
// less as its default 640, which would silently give another picture than
// the one asked for, so the tools refuse those widths.
inline constexpr std::int32_t kMinWidth = 4;
inline constexpr std::int32_t kMinHeight = 1;
inline constexpr std::int32_t kMaxSide = 32767;
// The size the library gives a connection that asks for none.
inline constexpr std::int32_t kDefaultWidth = 640;
inline constexpr std::int32_t kDefaultHeight = 480;

// The whole text as a decimal int32.
bool ParseInt32(std::string_view text, std::int32_t* value);
// The whole text as a finite decimal number: no hex, no "inf", no "nan".
bool ParseFiniteDouble(std::string_view text, double* value);

// Checks a picture size; the reason it is refused, or nothing.
std::optional<std::string> CheckSize(std::string_view widthText,
                                     std::string_view heightText,
                                     std::int32_t* width, std::int32_t* height);
// The same for "WIDTHxHEIGHT".
std::optional<std::string> ParseSize(std::string_view text, std::int32_t* width,
                                     std::int32_t* height);

// True when any word is --help or -h: the usage text then wins over every
// other word, before anything is looked up or connected.
bool WantsHelp(int argc, const char* const* argv);

// The words after the program name, taken one at a time. An option's value
// may follow as the next word ("--fps 5") or after '=' ("--fps=5").
class Arguments {
 public:
  Arguments(int argc, const char* const* argv);

  bool done() const { return next_ == words_.size(); }
  // The next word starts with "--".
  bool AtOption() const;
  // Takes the next word; for an option, its name without any "=value".
  std::string_view Take();
  // The value of the option just taken, or nothing when it has none. A
  // following word that is itself an option is not taken as a value, so
  // "--address --fps 5" reports the missing address.
  std::optional<std::string_view> Value();
  // True when the option just taken carried "=value" that nobody took.
  bool UnusedValue() const { return inlineValue_.has_value(); }
  // The words not taken yet.
  std::vector<std::string_view> Rest() const;

 private:
  std::vector<std::string_view> words_;
  std::size_t next_ = 0;
  std::optional<std::string_view> inlineValue_;
};

}  // namespace tools

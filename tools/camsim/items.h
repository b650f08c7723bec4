// The camera's settings store: every item is kept under the code of the
// query that reports it. A switch reports the code of the setting in force
// (item 101 reports 82 when on, 83 when off); a numeric item reports the
// value its setting last carried.
#pragma once

#include <cstdint>

namespace camsim::item {

// Query codes, each the key of one item (the library's item in brackets).
inline constexpr std::int32_t kQuery34 = 34;        // no operation sends it
inline constexpr std::int32_t kQuery36 = 36;        // no operation sends it
inline constexpr std::int32_t kInternalSps = 66;    // (201) 16 bits
inline constexpr std::int32_t kStatus = 68;         // (202) 16 bits
inline constexpr std::int32_t kCameraMotion = 81;   // (101)
inline constexpr std::int32_t kAlarmOutput = 97;    // (102)
inline constexpr std::int32_t kMode = 113;          // (103)
inline constexpr std::int32_t kParameterA = 65538;  // (203)
inline constexpr std::int32_t kParameterB = 65554;  // (204)
inline constexpr std::int32_t kMaskStream = 65569;  // (205)
inline constexpr std::int32_t kParameterC = 65586;  // (206)

// Setting codes of the switches, which are also the values they report.
inline constexpr std::int32_t kCameraMotionOn = 82;
inline constexpr std::int32_t kCameraMotionOff = 83;
inline constexpr std::int32_t kAlarmOutputOff = 98;
inline constexpr std::int32_t kAlarmOutputOn = 99;
inline constexpr std::int32_t kModeFirst = 114;
inline constexpr std::int32_t kModeSecond = 115;
inline constexpr std::int32_t kModeOneShot = 117;
inline constexpr std::int32_t kMaskStreamOn = 65570;
inline constexpr std::int32_t kMaskStreamOff = 65571;

// Setting codes of the numeric items; each carries an int32 payload.
inline constexpr std::int32_t kSetParameterA = 65537;
inline constexpr std::int32_t kSetParameterB = 65553;
inline constexpr std::int32_t kSetParameterC = 65585;

// What a camera fresh from the factory reports.
inline constexpr std::uint16_t kDefaultInternalSps = 40;

struct Default {
  std::int32_t query;
  std::int32_t value;
};
inline constexpr Default kDefaults[] = {
    {kQuery34, 0},
    {kQuery36, 0},
    {kInternalSps, kDefaultInternalSps},
    {kStatus, 0},
    {kCameraMotion, kCameraMotionOff},
    {kAlarmOutput, kAlarmOutputOff},
    {kMode, kModeFirst},
    {kParameterA, 0},
    {kParameterB, 0},
    {kMaskStream, kMaskStreamOff},
    {kParameterC, 0},
};

}  // namespace camsim::item

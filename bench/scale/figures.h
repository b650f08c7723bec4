// The figures of one run (one kind of stream at one number of cameras) and
// the table that sets them side by side.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scale/meters.h"

namespace scale {

struct Figures {
  std::string kind;     // the row's label
  std::string traffic;  // "image" or "mask": pairs library rows with the
                        // plain loop that read the same traffic
  bool plainLoop = false;
  int cameras = 0;
  MeterReading window;             // the measured window
  std::uint64_t windowFrames = 0;  // frames received in it
  double worstLagS = 0.0;          // the camera furthest behind as it closed
  std::optional<std::uint64_t> windowShown;  // frames drawn in it
  // The whole stream, start to stop: received is counted after a fence
  // that every frame sent before it has passed.
  std::uint64_t received = 0;
  std::optional<std::uint64_t> sent;  // as the camsims tell
  double dueFrames = 0.0;             // FramesDue over every camera
  double connectMs = 0.0;
  double disconnectMs = 0.0;
  double idleCpuShare = 0.0;  // connected, no stream
  std::string problem;        // empty when every step worked

  void AddProblem(const std::string& text) {
    problem += (problem.empty() ? "" : "; ") + text;
  }
};

void PrintTable(const std::vector<Figures>& rows);

}  // namespace scale

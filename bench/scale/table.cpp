#include <cstdio>

#include "scale/figures.h"

namespace scale {

namespace {

std::optional<double> Ratio(double part, double whole) {
  if (whole <= 0.0) return std::nullopt;
  return part / whole;
}

// CPU seconds a frame received in the window: unlike the CPU share, it
// compares runs whose streams went at different rates.
std::optional<double> CpuPerFrame(const Figures& row) {
  return Ratio(row.window.cpuShare * row.window.seconds,
               static_cast<double>(row.windowFrames));
}

const Figures* PlainLoopFor(const std::vector<Figures>& rows,
                            const Figures& row) {
  for (const Figures& candidate : rows) {
    if (candidate.plainLoop && candidate.cameras == row.cameras &&
        candidate.traffic == row.traffic) {
      return &candidate;
    }
  }
  return nullptr;
}

void PrintShare(double share) { std::printf(" %7.1f%%", share * 100.0); }

void PrintNumber(std::optional<double> value, int width, int decimals) {
  if (value) {
    std::printf(" %*.*f", width, decimals, *value);
  } else {
    std::printf(" %*s", width, "-");
  }
}

}  // namespace

void PrintTable(const std::vector<Figures>& rows) {
  std::printf(
      "%4s %-11s %8s %8s %8s %7s %7s %6s %7s %6s %8s %8s %8s %8s %8s %8s "
      "%8s\n",
      "cams", "kind", "cpu/cam", "cpu all", "us/frame", "x plain", "fps/cam",
      "lag s", "rx/sent", "lost", "sent/due", "shown/rx", "conn ms", "disc ms",
      "idle cpu", "camsim", "machine");
  for (const Figures& row : rows) {
    std::printf("%4d %-11s", row.cameras, row.kind.c_str());
    PrintShare(row.window.cpuShare / row.cameras);
    PrintShare(row.window.cpuShare);
    const std::optional<double> perFrame = CpuPerFrame(row);
    PrintNumber(perFrame ? std::optional(*perFrame * 1e6) : std::nullopt, 8, 1);
    const Figures* plain = row.plainLoop ? nullptr : PlainLoopFor(rows, row);
    const std::optional<double> plainPerFrame =
        plain ? CpuPerFrame(*plain) : std::nullopt;
    PrintNumber(perFrame && plainPerFrame ? Ratio(*perFrame, *plainPerFrame)
                                          : std::nullopt,
                7, 2);
    PrintNumber(Ratio(static_cast<double>(row.windowFrames),
                      row.window.seconds * row.cameras),
                7, 1);
    PrintNumber(row.worstLagS, 6, 1);
    if (row.sent) {
      PrintNumber(Ratio(static_cast<double>(row.received),
                        static_cast<double>(*row.sent)),
                  7, 3);
      std::printf(" %6lld", static_cast<long long>(*row.sent) -
                                static_cast<long long>(row.received));
      PrintNumber(Ratio(static_cast<double>(*row.sent), row.dueFrames), 8, 3);
    } else {
      std::printf(" %7s %6s %8s", "-", "-", "-");
    }
    PrintNumber(row.windowShown ? Ratio(static_cast<double>(*row.windowShown),
                                        static_cast<double>(row.windowFrames))
                                : std::nullopt,
                8, 3);
    std::printf(" %8.1f %8.1f", row.connectMs, row.disconnectMs);
    PrintShare(row.idleCpuShare);
    PrintShare(row.window.camsimShare);
    PrintShare(row.window.machineBusy);
    std::printf("\n");
  }
  for (const Figures& row : rows) {
    if (!row.problem.empty()) {
      std::printf("  %d %s: %s\n", row.cameras, row.kind.c_str(),
                  row.problem.c_str());
    }
  }
}

}  // namespace scale

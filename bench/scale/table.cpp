#include <cstdio>

#include "scale/figures.h"

namespace scale {

namespace {

const Figures* PlainLoopFor(const std::vector<Figures>& rows,
                            const Figures& row) {
  for (const Figures& candidate : rows) {
    if (candidate.plainLoop && candidate.cameras == row.cameras &&
        candidate.traffic == row.traffic && candidate.problem.empty()) {
      return &candidate;
    }
  }
  return nullptr;
}

void PrintShare(double share) { std::printf(" %8.1f%%", share * 100.0); }

void PrintRatio(std::optional<double> ratio) {
  if (ratio) {
    std::printf(" %8.3f", *ratio);
  } else {
    std::printf(" %8s", "-");
  }
}

std::optional<double> Ratio(double part, double whole) {
  if (whole <= 0.0) return std::nullopt;
  return part / whole;
}

}  // namespace

void PrintTable(const std::vector<Figures>& rows) {
  std::printf("%4s %-11s %9s %9s %8s %8s %8s %6s %8s %8s %9s %9s %9s %9s %9s\n",
              "cams", "kind", "cpu/cam", "cpu all", "x plain", "fps/cam",
              "rx/sent", "lost", "sent/due", "shown/rx", "conn ms", "disc ms",
              "idle cpu", "camsim", "machine");
  for (const Figures& row : rows) {
    std::printf("%4d %-11s", row.cameras, row.kind.c_str());
    const double seconds = row.window.seconds;
    PrintShare(row.window.cpuShare / row.cameras);
    PrintShare(row.window.cpuShare);
    const Figures* plain = row.plainLoop ? nullptr : PlainLoopFor(rows, row);
    PrintRatio(plain ? Ratio(row.window.cpuShare, plain->window.cpuShare)
                     : std::nullopt);
    std::printf(" %8.1f", seconds > 0.0
                              ? static_cast<double>(row.windowFrames) /
                                    seconds / row.cameras
                              : 0.0);
    if (row.sent) {
      PrintRatio(Ratio(static_cast<double>(row.received),
                       static_cast<double>(*row.sent)));
      std::printf(" %6lld", static_cast<long long>(*row.sent) -
                                static_cast<long long>(row.received));
      PrintRatio(Ratio(static_cast<double>(*row.sent), row.dueFrames));
    } else {
      std::printf(" %8s %6s %8s", "-", "-", "-");
    }
    PrintRatio(row.windowShown ? Ratio(static_cast<double>(*row.windowShown),
                                       static_cast<double>(row.windowFrames))
                               : std::nullopt);
    std::printf(" %9.1f %9.1f", row.connectMs, row.disconnectMs);
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

// Motion-mask decoding and object labelling in nanoseconds a pixel, each
// case next to its comparisons from the same run: the plain reference
// routines, memset of the image (the floor for decoding) and, with OpenCV,
// connected components with statistics plus the same small-object filter.
// The ratios (ours / comparison, medians of CPU time) and nanoseconds a
// pixel are printed at the end.
//
//   motion_bench [--benchmark_filter=...] [--benchmark_repetitions=N]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "receiver/motion_mask.h"
#include "receiver/object_labeller.h"
#include "reference/motion_reference.h"

#ifdef QUORVEL_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace quorvel {
namespace {

constexpr int kRepetitions = 7;
constexpr double kMinTime = 0.2;  // seconds per repetition

struct Size {
  std::int32_t w, h;
  std::string Name() const {
    return std::to_string(w) + "x" + std::to_string(h);
  }
};
const Size kSizes[] = {{640, 480}, {2048, 2048}, {5120, 250}};
const char* const kKinds[] = {"sparse", "noisy", "dense"};
const std::int32_t kMinSizes[] = {2500, 10};

// Five solid ellipses of 2000 to 20000 pixels on an empty field, plus 1 %
// random moving pixels for "noisy"; "dense" is 50 % random pixels.
std::vector<std::uint8_t> MakeMask(Size s, const std::string& kind,
                                   std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<std::uint8_t> mask(std::size_t(s.w) * s.h, 0);
  if (kind == "dense") {
    for (auto& p : mask) p = unit(rng) < 0.5 ? 0xFF : 0x00;
    return mask;
  }
  for (int e = 0; e < 5; ++e) {
    const double area = 2000 + unit(rng) * 18000;
    const double ry = std::min(20 + unit(rng) * 60, s.h / 2.0 - 2);
    const double rx = std::min(area / (M_PI * ry), s.w / 2.0 - 2);
    const double cx = rx + 1 + unit(rng) * (s.w - 2 * rx - 2);
    const double cy = ry + 1 + unit(rng) * (s.h - 2 * ry - 2);
    for (std::int32_t y = 0; y < s.h; ++y) {
      for (std::int32_t x = 0; x < s.w; ++x) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        if (dx * dx + dy * dy <= 1.0) mask[std::size_t(y) * s.w + x] = 0xFF;
      }
    }
  }
  if (kind == "noisy") {
    for (auto& p : mask) {
      if (unit(rng) < 0.01) p = 0xFF;
    }
  }
  return mask;
}

// Run code as a camera sends it: maximal runs split at 128 pixels.
std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& mask) {
  std::vector<std::uint8_t> code;
  for (std::size_t i = 0; i < mask.size();) {
    const std::uint8_t value = mask[i];
    std::size_t run = 1;
    while (run < 128 && i + run < mask.size() && mask[i + run] == value) ++run;
    code.push_back(std::uint8_t(((run - 1) << 1) | (value != 0 ? 1 : 0)));
    i += run;
  }
  return code;
}

struct Case {
  Size size;
  std::string kind;
  std::vector<std::uint8_t> mask;
  std::vector<std::uint8_t> code;
};

// ---- Decoding ------------------------------------------------------------

void DecodeOurs(benchmark::State& state, const Case* c) {
  std::vector<std::uint8_t> image(c->mask.size());
  for (auto _ : state) {
    DecodeMotionMask(c->code.data(), std::int32_t(c->code.size()), image.data(),
                     c->size.w, c->size.h);
    benchmark::ClobberMemory();
  }
}

void DecodeReference(benchmark::State& state, const Case* c) {
  std::vector<std::uint8_t> image(c->mask.size());
  for (auto _ : state) {
    reference::DecodeMotionMask(c->code.data(), std::int32_t(c->code.size()),
                                image.data(), c->size.w, c->size.h);
    benchmark::ClobberMemory();
  }
}

void DecodeMemset(benchmark::State& state, const Case* c) {
  std::vector<std::uint8_t> image(c->mask.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(image.data());
    std::memset(image.data(), 0, image.size());
    benchmark::ClobberMemory();
  }
}

// ---- Labelling -------------------------------------------------------------
// Each routine erases small objects from its mask, so the mask is restored,
// untimed, before every iteration.

void LabelOurs(benchmark::State& state, const Case* c, std::int32_t minSize) {
  std::vector<std::uint8_t> mask = c->mask;
  std::vector<std::int32_t> labels(mask.size());
  std::vector<ObjectReport> objects;
  ObjectLabeller labeller(c->size.w, c->size.h);
  for (auto _ : state) {
    state.PauseTiming();
    mask = c->mask;
    objects.clear();
    state.ResumeTiming();
    labeller.LabelMovingObjects(
        mask.data(), labels.data(), c->size.w, c->size.h, minSize, objects,
        [](std::uint8_t* m) { benchmark::DoNotOptimize(m); });
    benchmark::ClobberMemory();
  }
}

void LabelReference(benchmark::State& state, const Case* c,
                    std::int32_t minSize) {
  std::vector<std::uint8_t> mask = c->mask;
  std::vector<std::int32_t> labels(mask.size());
  std::vector<ObjectReport> objects;
  reference::LabelWork work;
  for (auto _ : state) {
    state.PauseTiming();
    mask = c->mask;
    objects.clear();
    state.ResumeTiming();
    reference::LabelMovingObjects(
        work, mask.data(), labels.data(), c->size.w, c->size.h, minSize,
        objects, [](std::uint8_t* m) { benchmark::DoNotOptimize(m); });
    benchmark::ClobberMemory();
  }
}

#ifdef QUORVEL_HAVE_OPENCV
void LabelOpenCv(benchmark::State& state, const Case* c, std::int32_t minSize) {
  std::vector<std::uint8_t> mask = c->mask;
  cv::Mat image(c->size.h, c->size.w, CV_8U, mask.data());
  cv::Mat labels(c->size.h, c->size.w, CV_32S), stats, centroids;
  std::vector<std::uint8_t> small;
  for (auto _ : state) {
    state.PauseTiming();
    mask = c->mask;
    state.ResumeTiming();
    const int count = cv::connectedComponentsWithStats(
        image, labels, stats, centroids, 8, CV_32S, cv::CCL_BBDT);
    // The same filter as ours: erase components below the minimum from
    // mask and labels, skipped when there is none.
    small.assign(std::size_t(count), 0);
    bool anySmall = false;
    for (int l = 1; l < count; ++l) {
      small[l] = stats.at<std::int32_t>(l, cv::CC_STAT_AREA) < minSize;
      anySmall = anySmall || small[l] != 0;
    }
    if (anySmall) {
      auto* label = labels.ptr<std::int32_t>();
      for (std::size_t i = 0; i < mask.size(); ++i) {
        if (small[label[i]] != 0) {
          label[i] = 0;
          mask[i] = 0;
        }
      }
    }
    benchmark::ClobberMemory();
  }
}
#endif

// ---- Ratios ----------------------------------------------------------------

// Passes aggregates to the console and keeps every repetition's CPU time
// per iteration, by benchmark name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& reports) override {
    std::vector<Run> shown;
    for (const Run& run : reports) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        times_[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
      }
      if (run.run_type == Run::RT_Aggregate || run.repetitions <= 1) {
        shown.push_back(run);
      }
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }

  // Median CPU time of a benchmark, or 0 when it did not run.
  double Median(const std::string& name) const {
    const auto it = times_.find(name);
    if (it == times_.end() || it->second.empty()) return 0.0;
    std::vector<double> t = it->second;
    std::sort(t.begin(), t.end());
    const std::size_t n = t.size();
    return n % 2 == 1 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
  }

 private:
  std::map<std::string, std::vector<double>> times_;
};

struct Comparison {
  std::string ours, other;
  double pixels;
};

void PrintRatios(const RatioReporter& r,
                 const std::vector<Comparison>& comparisons) {
  std::printf(
      "\nours / comparison, median CPU time of the repetitions of this run\n"
      "%-34s %9s  %-10s %9s %7s\n",
      "case", "ours ns/px", "versus", "ns/px", "ratio");
  for (const Comparison& c : comparisons) {
    const double a = r.Median(c.ours), b = r.Median(c.other);
    if (a <= 0 || b <= 0) continue;
    // Times are in microseconds per iteration.
    std::printf("%-34s %9.3f  %-10s %9.3f %7.3f\n",
                c.ours.substr(0, c.ours.rfind('/')).c_str(), a * 1e3 / c.pixels,
                c.other.substr(c.other.rfind('/') + 1).c_str(),
                b * 1e3 / c.pixels, a / b);
  }
}

// True when the command line sets the flag itself.
bool HasFlag(int argc, char** argv, std::string_view flag) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]).substr(0, flag.size()) == flag) return true;
  }
  return false;
}

}  // namespace
}  // namespace quorvel

int main(int argc, char** argv) {
  using namespace quorvel;
#ifdef QUORVEL_HAVE_OPENCV
  cv::setNumThreads(1);
#endif
  std::vector<std::unique_ptr<Case>> cases;
  std::uint32_t seed = 1;
  for (const Size s : kSizes) {
    for (const char* kind : kKinds) {
      auto c = std::make_unique<Case>();
      c->size = s;
      c->kind = kind;
      c->mask = MakeMask(s, kind, seed++);
      c->code = Encode(c->mask);
      cases.push_back(std::move(c));
    }
  }

  // Repetitions are interleaved at random so that a slow spell of the
  // shared machine hits every routine alike; both can be overridden.
  const bool ownRepetitions = HasFlag(argc, argv, "--benchmark_repetitions");
  std::vector<std::string> args(argv, argv + argc);
  if (!HasFlag(argc, argv, "--benchmark_enable_random_interleaving")) {
    args.push_back("--benchmark_enable_random_interleaving=true");
  }
  std::vector<char*> argPointers;
  for (std::string& a : args) argPointers.push_back(a.data());
  int argCount = static_cast<int>(argPointers.size());

  std::vector<Comparison> comparisons;
  auto add = [ownRepetitions](const std::string& name, auto&& fn) {
    auto* b = benchmark::RegisterBenchmark(name.c_str(), fn);
    b->MinTime(kMinTime)->Unit(benchmark::kMicrosecond);
    if (!ownRepetitions) b->Repetitions(kRepetitions);
  };
  for (const auto& owned : cases) {
    const Case* c = owned.get();
    const double pixels = double(c->size.w) * c->size.h;
    const std::string base = "decode/" + c->size.Name() + "/" + c->kind + "/";
    add(base + "ours", [c](benchmark::State& s) { DecodeOurs(s, c); });
    add(base + "reference",
        [c](benchmark::State& s) { DecodeReference(s, c); });
    add(base + "memset", [c](benchmark::State& s) { DecodeMemset(s, c); });
    comparisons.push_back({base + "ours", base + "reference", pixels});
    comparisons.push_back({base + "ours", base + "memset", pixels});
  }
  for (const auto& owned : cases) {
    const Case* c = owned.get();
    const double pixels = double(c->size.w) * c->size.h;
    for (const std::int32_t minSize : kMinSizes) {
      const std::string base = "label/" + c->size.Name() + "/" + c->kind +
                               "/min" + std::to_string(minSize) + "/";
      add(base + "ours",
          [c, minSize](benchmark::State& s) { LabelOurs(s, c, minSize); });
      add(base + "reference",
          [c, minSize](benchmark::State& s) { LabelReference(s, c, minSize); });
      comparisons.push_back({base + "ours", base + "reference", pixels});
#ifdef QUORVEL_HAVE_OPENCV
      add(base + "opencv",
          [c, minSize](benchmark::State& s) { LabelOpenCv(s, c, minSize); });
      comparisons.push_back({base + "ours", base + "opencv", pixels});
#endif
    }
  }

  benchmark::Initialize(&argCount, argPointers.data());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter, comparisons);
  benchmark::Shutdown();
  return 0;
}

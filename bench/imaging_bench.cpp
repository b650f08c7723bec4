// Pixel conversions timed against what they must beat, in one run: the
// plain reference loops, memcpy of the output bytes (nothing that writes
// the output can be much faster), and OpenCV's nearest equivalents when it
// is found. After the runs a table gives nanoseconds a frame pixel and the
// time ratios (ours / comparison), from the median CPU time of the
// repetitions:
//
//   imaging_bench --benchmark_repetitions=7
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "imaging/convert.h"
#include "imaging/pixel_isa.h"
#include "reference/imaging_reference.h"

#if defined(QUORVEL_HAVE_OPENCV)
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using quorvel::imaging::PixelIsa;
using Bytes = std::vector<std::uint8_t>;

struct FrameSize {
  std::int32_t width;
  std::int32_t height;
  std::string Name() const {
    return std::to_string(width) + "x" + std::to_string(height);
  }
  std::int64_t Pixels() const { return std::int64_t{width} * height; }
};

constexpr FrameSize kSizes[] = {{640, 480}, {2048, 2048}, {5120, 250}};

Bytes RandomBytes(std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes bytes(count);
  for (auto& byte : bytes) {
    byte = static_cast<std::uint8_t>(rng());
  }
  return bytes;
}

Bytes RandomSamples10(std::size_t count, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes bytes(2 * count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t sample = rng() % 1024;
    bytes[2 * i] = static_cast<std::uint8_t>(sample);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(sample >> 8);
  }
  return bytes;
}

// Runs `body` as the timed loop and reports time a frame pixel.
template <class Body>
void Measure(benchmark::State& state, const FrameSize& size, Body body) {
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  state.counters["px"] =
      benchmark::Counter(static_cast<double>(size.Pixels()),
                         benchmark::Counter::kIsIterationInvariantRate |
                             benchmark::Counter::kInvert);
}

void Register(const std::string& name,
              std::function<void(benchmark::State&)> body) {
  benchmark::RegisterBenchmark(name.c_str(), std::move(body))
      ->Unit(benchmark::kMicrosecond);
}

// ------------------------------------------------------------ demosaic

void RegisterDemosaic(const FrameSize& size) {
  const std::string suffix = "/" + size.Name();
  const auto pixels = static_cast<std::size_t>(size.Pixels());
  Register("demosaic10/ours" + suffix, [size, pixels](benchmark::State& s) {
    const Bytes source = RandomSamples10(pixels, 1);
    Bytes image(pixels * 4, 0x80);
    Measure(s, size, [&] {
      quorvel::DemosaicBayer(source.data(), image.data(), size.width,
                             size.height, size.width, 10);
    });
  });
  Register("demosaic10/sse2" + suffix, [size, pixels](benchmark::State& s) {
    const Bytes source = RandomSamples10(pixels, 1);
    Bytes image(pixels * 4, 0x80);
    Measure(s, size, [&] {
      quorvel::imaging::DemosaicBayerUsing(PixelIsa::kSse2, source.data(),
                                           image.data(), size.width,
                                           size.height, size.width, 10);
    });
  });
  Register("demosaic10/reference" + suffix, [size,
                                             pixels](benchmark::State& s) {
    const Bytes source = RandomSamples10(pixels, 1);
    Bytes image(pixels * 4, 0x80);
    Measure(s, size, [&] {
      quorvel::reference::DemosaicBayer(source.data(), image.data(), size.width,
                                        size.height, size.width, 10);
    });
  });
  Register("demosaic10/memcpy" + suffix, [size, pixels](benchmark::State& s) {
    const Bytes source = RandomBytes(pixels * 4, 1);
    Bytes image(pixels * 4, 0x80);
    Measure(s, size,
            [&] { std::memcpy(image.data(), source.data(), image.size()); });
  });
#if defined(QUORVEL_HAVE_OPENCV)
  Register("demosaic10/opencv" + suffix, [size](benchmark::State& s) {
    cv::Mat source(size.height, size.width, CV_8UC1);
    cv::randu(source, 0, 256);
    cv::Mat image(size.height, size.width, CV_8UC4);
    Measure(s, size,
            [&] { cv::cvtColor(source, image, cv::COLOR_BayerGB2BGRA); });
  });
#endif
}

// ------------------------------------------------------------ mono

void RegisterMono(const FrameSize& size) {
  const std::string suffix = "/" + size.Name();
  const auto pixels = static_cast<std::size_t>(size.Pixels());
  Register("mono8/ours" + suffix, [size, pixels](benchmark::State& s) {
    const Bytes source = RandomBytes(pixels, 2);
    Bytes image(pixels * 4);
    Measure(s, size, [&] {
      quorvel::ExpandMono(source.data(), image.data(), size.width, size.height,
                          8);
    });
  });
  Register("mono8/sse2" + suffix, [size, pixels](benchmark::State& s) {
    const Bytes source = RandomBytes(pixels, 2);
    Bytes image(pixels * 4);
    Measure(s, size, [&] {
      quorvel::imaging::ExpandMonoUsing(PixelIsa::kSse2, source.data(),
                                        image.data(), size.width, size.height,
                                        8);
    });
  });
  Register("mono8/reference" + suffix, [size, pixels](benchmark::State& s) {
    const Bytes source = RandomBytes(pixels, 2);
    Bytes image(pixels * 4);
    Measure(s, size, [&] {
      quorvel::reference::ExpandMono(source.data(), image.data(), size.width,
                                     size.height, 8);
    });
  });
  Register("mono8/memcpy" + suffix, [size, pixels](benchmark::State& s) {
    const Bytes source = RandomBytes(pixels * 4, 2);
    Bytes image(pixels * 4);
    Measure(s, size,
            [&] { std::memcpy(image.data(), source.data(), image.size()); });
  });
#if defined(QUORVEL_HAVE_OPENCV)
  Register("mono8/opencv" + suffix, [size](benchmark::State& s) {
    cv::Mat source(size.height, size.width, CV_8UC1);
    cv::randu(source, 0, 256);
    cv::Mat image(size.height, size.width, CV_8UC4);
    Measure(s, size, [&] { cv::cvtColor(source, image, cv::COLOR_GRAY2BGRA); });
  });
#endif
}

// ------------------------------------------------------------ packing

void RegisterPack(const FrameSize& size, std::int32_t bits, std::int32_t step) {
  const std::string group =
      "pack" + std::to_string(bits) + "_step" + std::to_string(step);
  const std::string suffix = "/" + size.Name();
  const auto pixels = static_cast<std::size_t>(size.Pixels());
  const std::int32_t outWidth = (size.width + step - 1) / step;
  const std::int32_t outHeight = (size.height + step - 1) / step;
  const std::size_t outBytes =
      std::size_t(outWidth) * std::size_t(outHeight) * std::size_t(bits / 8);

  Register(group + "/ours" + suffix, [size, pixels, bits, step,
                                      outBytes](benchmark::State& s) {
    const Bytes source = RandomBytes(pixels * 4, 3);
    Bytes out(outBytes);
    Measure(s, size, [&] {
      quorvel::DecimateAndPack(source.data(), out.data(), size.width,
                               size.height, bits, step, nullptr, step, nullptr);
    });
  });
  Register(group + "/sse2" + suffix,
           [size, pixels, bits, step, outBytes](benchmark::State& s) {
             const Bytes source = RandomBytes(pixels * 4, 3);
             Bytes out(outBytes);
             Measure(s, size, [&] {
               quorvel::imaging::DecimateAndPackUsing(
                   PixelIsa::kSse2, source.data(), out.data(), size.width,
                   size.height, bits, step, nullptr, step, nullptr);
             });
           });
  Register(group + "/reference" + suffix,
           [size, pixels, bits, step, outBytes](benchmark::State& s) {
             const Bytes source = RandomBytes(pixels * 4, 3);
             Bytes out(outBytes);
             Measure(s, size, [&] {
               quorvel::reference::DecimateAndPack(
                   source.data(), out.data(), size.width, size.height, bits,
                   step, nullptr, step, nullptr);
             });
           });
  Register(group + "/memcpy" + suffix, [size, outBytes](benchmark::State& s) {
    const Bytes source = RandomBytes(outBytes, 3);
    Bytes out(outBytes);
    Measure(s, size,
            [&] { std::memcpy(out.data(), source.data(), out.size()); });
  });
#if defined(QUORVEL_HAVE_OPENCV)
  if (step == 1 && bits == 32) {
    return;  // a plain copy: memcpy is the comparison
  }
  Register(group + "/opencv" + suffix, [size, bits, step, outWidth,
                                        outHeight](benchmark::State& s) {
    cv::Mat source(size.height, size.width, CV_8UC4);
    cv::randu(source, 0, 256);
    cv::Mat half(outHeight, outWidth, CV_8UC4);
    cv::Mat out(outHeight, outWidth, bits == 24 ? CV_8UC3 : CV_8UC2);
    const int code = bits == 24 ? cv::COLOR_BGRA2BGR : cv::COLOR_BGRA2BGR565;
    Measure(s, size, [&] {
      const cv::Mat* packed = &source;
      if (step != 1) {
        cv::resize(source, half, half.size(), 0, 0, cv::INTER_NEAREST);
        packed = &half;
      }
      if (bits != 32) {
        cv::cvtColor(*packed, out, code);
      }
    });
  });
#endif
}

// ------------------------------------------------------------ ratios

// Keeps every repetition's time, shows the usual console output, and
// afterwards gives the medians for the ratio table. The time is the
// process's CPU time: the machines these run on are shared, and wall time
// there mostly measures how long other jobs held the core.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& reports) override {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
      if (run.error_occurred || run.iterations == 0) {
        continue;
      }
      const double seconds =
          run.cpu_accumulated_time / static_cast<double>(run.iterations);
      const std::string& name = run.run_name.function_name;
      if (run.run_type == Run::RT_Iteration) {
        samples_[name].push_back(seconds);
      } else if (run.aggregate_name == "median") {
        aggregateMedian_[name] = run.GetAdjustedCPUTime();
        aggregateUnit_[name] = run.time_unit;
      }
    }
  }

  // Median seconds an iteration, or a negative value when not measured.
  double Median(const std::string& name) const {
    if (auto found = samples_.find(name); found != samples_.end()) {
      std::vector<double> values = found->second;
      std::sort(values.begin(), values.end());
      const std::size_t n = values.size();
      return n % 2 == 1 ? values[n / 2]
                        : (values[n / 2 - 1] + values[n / 2]) / 2;
    }
    if (auto found = aggregateMedian_.find(name);
        found != aggregateMedian_.end()) {
      return found->second /
             benchmark::GetTimeUnitMultiplier(aggregateUnit_.at(name));
    }
    return -1;
  }

  std::size_t MostRepetitions() const {
    std::size_t most = 0;
    for (const auto& [name, values] : samples_) {
      most = std::max(most, values.size());
    }
    return most;
  }

 private:
  std::map<std::string, std::vector<double>> samples_;
  std::map<std::string, double> aggregateMedian_;
  std::map<std::string, benchmark::TimeUnit> aggregateUnit_;
};

struct Target {
  const char* group;
  const char* comparison;
  double limit;  // ours / comparison must not exceed this
};

// The targets this code is held to; every other ratio is shown for
// information.
constexpr Target kTargets[] = {
    {"demosaic10", "opencv", 1.2},   {"demosaic10", "reference", 1 / 3.0},
    {"mono8", "opencv", 1.2},        {"pack32_step1", "memcpy", 1.5},
    {"pack24_step1", "opencv", 1.2}, {"pack16_step1", "opencv", 1.2},
    {"pack32_step2", "opencv", 1.0}, {"pack24_step2", "opencv", 1.0},
    {"pack16_step2", "opencv", 1.0},
};

double TargetFor(const std::string& group, const std::string& comparison) {
  for (const Target& target : kTargets) {
    if (group == target.group && comparison == target.comparison) {
      return target.limit;
    }
  }
  return -1;
}

void PrintRatios(const RatioReporter& reporter,
                 const std::vector<std::string>& groups) {
  const char* const comparisons[] = {"reference", "memcpy", "sse2", "opencv"};
  std::printf(
      "\nMedian CPU time in ns a frame pixel and ratios ours / comparison "
      "(same run; < 1 means ours is faster; [limit] marks a target, "
      "'MISS' one not met)\n");
  std::printf("%-14s %-10s %8s", "case", "size", "ours ns");
  for (const char* comparison : comparisons) {
    std::printf(" %22s", comparison);
  }
  std::printf("\n");
  for (const FrameSize& size : kSizes) {
    for (const std::string& group : groups) {
      const std::string suffix = "/" + size.Name();
      const double ours = reporter.Median(group + "/ours" + suffix);
      if (ours <= 0) {
        continue;
      }
      const double pixels = static_cast<double>(size.Pixels());
      std::printf("%-14s %-10s %8.3f", group.c_str(), size.Name().c_str(),
                  ours * 1e9 / pixels);
      for (const char* comparison : comparisons) {
        const double other = reporter.Median(group + "/" + comparison + suffix);
        if (other <= 0) {
          std::printf(" %22s", "-");
          continue;
        }
        const double ratio = ours / other;
        const double limit = TargetFor(group, comparison);
        char cell[64];
        if (limit > 0) {
          std::snprintf(cell, sizeof cell, "%.3f [%.2f]%s", ratio, limit,
                        ratio <= limit ? "" : " MISS");
        } else {
          std::snprintf(cell, sizeof cell, "%.3f", ratio);
        }
        std::printf(" %22s", cell);
      }
      std::printf("\n");
    }
  }
  std::printf("(repetitions a case: %zu)\n", reporter.MostRepetitions());
}

}  // namespace

int main(int argc, char** argv) {
#if defined(QUORVEL_HAVE_OPENCV)
  cv::setNumThreads(1);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  std::vector<std::string> groups = {"demosaic10", "mono8"};
  for (const FrameSize& size : kSizes) {
    RegisterDemosaic(size);
    RegisterMono(size);
    for (std::int32_t step : {1, 2}) {
      for (std::int32_t bits : {32, 24, 16}) {
        RegisterPack(size, bits, step);
      }
    }
  }
  for (std::int32_t step : {1, 2}) {
    for (std::int32_t bits : {32, 24, 16}) {
      groups.push_back("pack" + std::to_string(bits) + "_step" +
                       std::to_string(step));
    }
  }
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter, groups);
  benchmark::Shutdown();
  return 0;
}

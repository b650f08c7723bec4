// Live reception from a simulated camera in a process of its own, sending
// as fast as it can: frames received a second against the ceiling that the
// receiver's 1 ms pause after each data packet sets, and the library's CPU
// time a frame against a plain loop that reads the same bytes from a socket.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/camera_lib_app.h"
#include "command/wait_ack.h"
#include "command/wire.h"
#include "platform/clock.h"
#include "quorvel/quorvel.h"

extern char** environ;

namespace {

using quorvel::platform::Socket;

constexpr std::uint32_t kWarmUpMs = 500;
constexpr std::uint32_t kMeasureMs = 3000;
constexpr std::int32_t kWidth = 640, kHeight = 480;

std::map<std::string, double> results;

class Camsim {
 public:
  Camsim(const std::string& address, const std::string& mode) {
    std::vector<std::string> words = {
        CAMSIM_PROGRAM, "--address", address, "--fps", "0", "--mode", mode};
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, CAMSIM_PROGRAM, nullptr, nullptr, argv.data(),
                    environ) != 0) {
      pid_ = -1;
    }
    quorvel::platform::ParseIPv4(address.c_str(), &ipv4_);
    for (int i = 0; i < 250; ++i) {
      if (Socket::ConnectTcp(ipv4_, 3002).valid()) return;
      quorvel::platform::SleepMs(20);
    }
  }
  ~Camsim() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  std::uint32_t ipv4() const { return ipv4_; }

 private:
  pid_t pid_ = -1;
  std::uint32_t ipv4_ = 0;
};

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

std::int32_t FramesOf(const char* handle) {
  const quorvel::CameraRef record = quorvel::TheApp().registry().Find(handle);
  return record->rxRate.frames();
}

// What one pause of the receiver really lasts on this machine.
double MeasuredPauseMs() {
  constexpr int kPauses = 200;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kPauses; ++i) quorvel::platform::SleepMs(1);
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now() - start)
             .count() /
         kPauses;
}

void LibraryReception(benchmark::State& state, const std::string& mode,
                      const std::string& address) {
  for (auto _ : state) {
    Camsim camera(address, mode);
    const char* handle =
        rvx_ConnectCameraNoDisplayA(address.c_str(), kWidth, kHeight);
    if (handle == nullptr) {
      state.SkipWithError("cannot connect to camsim");
      return;
    }
    if (mode == "mask") rvx_SetSmartMotion(handle, RVX_ITEM_DETECT_OBJECTS, 1);
    rvx_StartVideoStream2(handle, 0, nullptr, 0);
    quorvel::platform::SleepMs(kWarmUpMs);
    const std::int32_t frames0 = FramesOf(handle);
    const double cpu0 = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    quorvel::platform::SleepMs(kMeasureMs);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
            .count();
    const double cpu = ProcessCpuSeconds() - cpu0;
    const std::int32_t frames = FramesOf(handle) - frames0;
    rvx_DisconnectAllCameras();
    state.SetIterationTime(seconds);
    const double pauseMs = MeasuredPauseMs();
    const double ceiling = 1000.0 / pauseMs;
    state.counters["frames_per_s"] = frames / seconds;
    state.counters["ceiling_per_s"] = ceiling;
    state.counters["us_cpu_per_frame"] = frames > 0 ? cpu / frames * 1e6 : 0;
    results[mode + " frames/s"] = frames / seconds;
    results[mode + " ceiling"] = ceiling;
    results[mode + " cpu/frame"] = frames > 0 ? cpu / frames : 0;
  }
}

// The same bytes read by a plain blocking loop, the floor for any receiver.
void PlainSocketLoop(benchmark::State& state, const std::string& address) {
  for (auto _ : state) {
    Camsim camera(address, "image");
    Socket command = Socket::ConnectTcp(camera.ipv4(), 3002);
    const auto limits = quorvel::CommandLimits();
    if (!quorvel::Succeeded(quorvel::WaitAck(
            command, quorvel::command::kGreetingCode, limits))) {
      state.SkipWithError("no greeting");
      return;
    }
    for (const std::int32_t code : {48, 1}) {
      std::vector<std::uint8_t> bytes(8);
      const auto header =
          quorvel::command::EncodePair(code, code == 48 ? 8 : 0);
      std::copy(header.begin(), header.end(), bytes.begin());
      if (code == 48) {
        for (const std::uint16_t word :
             {std::uint16_t{kWidth}, std::uint16_t{kHeight}, std::uint16_t{1},
              std::uint16_t{1}}) {
          bytes.push_back(static_cast<std::uint8_t>(word));
          bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        }
      }
      if (command.SendAll(bytes.data(), bytes.size()) !=
              quorvel::platform::IoResult::kOk ||
          !quorvel::Succeeded(quorvel::WaitAck(
              command, quorvel::command::kAckCode, limits))) {
        state.SkipWithError("command refused");
        return;
      }
    }
    Socket data = Socket::ConnectTcp(camera.ipv4(), 3001);
    constexpr std::size_t kFrameBytes = 8 + 12 + 8 + kWidth * kHeight;
    std::vector<std::uint8_t> buffer(kFrameBytes);
    std::uint64_t bytes = 0;
    const auto readFor = [&](std::uint32_t ms) {
      const std::uint32_t start = quorvel::platform::TickCount();
      while (quorvel::platform::TickCount() - start < ms) {
        const auto got = data.ReceiveSome(buffer.data(), buffer.size());
        if (got.kind != quorvel::platform::ReceiveResult::Kind::kData) break;
        bytes += got.bytes;
      }
    };
    readFor(kWarmUpMs);
    bytes = 0;
    const double cpu0 = ProcessCpuSeconds();
    readFor(kMeasureMs);
    const double cpu = ProcessCpuSeconds() - cpu0;
    const double frames = static_cast<double>(bytes) / kFrameBytes;
    state.SetIterationTime(kMeasureMs / 1000.0);
    state.counters["frames_per_s"] = frames / (kMeasureMs / 1000.0);
    state.counters["us_cpu_per_frame"] = frames > 0 ? cpu / frames * 1e6 : 0;
    results["plain cpu/frame"] = frames > 0 ? cpu / frames : 0;
  }
}

BENCHMARK_CAPTURE(PlainSocketLoop, pictures_640x480, "127.0.20.1")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LibraryReception, pictures_640x480, "image", "127.0.20.2")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LibraryReception, masks_640x480_detection, "mask",
                  "127.0.20.3")
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double plain = results["plain cpu/frame"];
  std::printf(
      "\nratios measured in this run (targets: >= 0.85 of the ceiling; "
      "<= 2.0x the plain loop's CPU a frame)\n");
  for (const char* mode : {"image", "mask"}) {
    const double rate = results[std::string(mode) + " frames/s"];
    const double ceiling = results[std::string(mode) + " ceiling"];
    const double cpu = results[std::string(mode) + " cpu/frame"];
    std::printf(
        "  %-6s received/ceiling %.3f (%.0f of %.0f frames/s)   "
        "cpu a frame / plain loop %.2fx (%.1f us vs %.1f us)\n",
        mode, ceiling > 0 ? rate / ceiling : 0, rate, ceiling,
        plain > 0 ? cpu / plain : 0, cpu * 1e6, plain * 1e6);
  }
  return 0;
}

#include "scale/camsim_fleet.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "command/wire.h"
#include "platform/clock.h"
#include "platform/socket.h"
#include "scale/run_config.h"

extern char** environ;

namespace scale {

namespace {

// 64 processes starting at once on a loaded two-core machine take a while.
constexpr auto kStartDeadline = std::chrono::seconds(60);
constexpr std::uint32_t kProbePauseMs = 20;
constexpr const char kFramesSentPrefix[] = "frames sent: ";

double ProcessCpuSecondsOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)),
                   std::istreambuf_iterator<char>());
  // The command name may hold spaces; the fields after it do not. utime and
  // stime are the 12th and 13th fields after the name.
  const std::size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return 0.0;
  std::istringstream fields(text.substr(nameEnd + 1));
  std::string skipped;
  for (int i = 0; i < 11; ++i) fields >> skipped;
  unsigned long long user = 0, system = 0;
  fields >> user >> system;
  return static_cast<double>(user + system) /
         static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      return text;
    }
  }
}

std::optional<std::uint64_t> FramesSentIn(const std::string& output) {
  const std::size_t at = output.rfind(kFramesSentPrefix);
  if (at == std::string::npos) return std::nullopt;
  return std::strtoull(output.c_str() + at + std::strlen(kFramesSentPrefix),
                       nullptr, 10);
}

}  // namespace

std::string CameraAddress(int subnet, int index) {
  return "127.0." + std::to_string(subnet) + "." + std::to_string(index + 1);
}

std::uint32_t CameraIpv4(int subnet, int index) {
  std::uint32_t ipv4 = 0;
  (void)quorvel::platform::ParseIPv4(CameraAddress(subnet, index).c_str(),
                                     &ipv4);
  return ipv4;
}

CamsimFleet::CamsimFleet(const std::string& program, int subnet, int cameras,
                         const std::string& mode) {
  for (int i = 0; i < cameras; ++i) {
    if (!Spawn(program, CameraAddress(subnet, i), mode)) return;
  }
  ready_ = WaitUntilListening(subnet, cameras);
}

CamsimFleet::~CamsimFleet() { EndAll(); }

bool CamsimFleet::Spawn(const std::string& program, const std::string& address,
                        const std::string& mode) {
  int fds[2];
  // Close-on-exec on both ends: a later camsim must not hold an earlier
  // one's pipe open, or that pipe never reaches its end.
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
  std::vector<std::string> words = {program, "--address",          address,
                                    "--fps", std::to_string(kFps), "--mode",
                                    mode};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr,
                                 argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return false;
  processes_.push_back({pid, std::move(readEnd)});
  return true;
}

bool CamsimFleet::WaitUntilListening(int subnet, int cameras) {
  const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
  for (int i = 0; i < cameras; ++i) {
    // A probe connection is greeted and closed; camsim takes it in its
    // stride.
    while (!quorvel::platform::Socket::ConnectTcp(
                CameraIpv4(subnet, i), quorvel::command::kCommandPort)
                .valid()) {
      Process& process = processes_[static_cast<std::size_t>(i)];
      int status = 0;
      if (::waitpid(process.pid, &status, WNOHANG) != 0) {
        process.pid = -1;  // ended already: reaped, never to be signalled
        return false;
      }
      if (std::chrono::steady_clock::now() > deadline) return false;
      quorvel::platform::SleepMs(kProbePauseMs);
    }
  }
  return true;
}

double CamsimFleet::CpuSeconds() const {
  double seconds = 0.0;
  for (const Process& process : processes_) {
    if (process.pid > 0) seconds += ProcessCpuSecondsOf(process.pid);
  }
  return seconds;
}

std::optional<std::vector<std::uint64_t>> CamsimFleet::Stop() {
  EndAll();
  std::vector<std::uint64_t> sent;
  bool complete = true;
  for (Process& process : processes_) {
    const std::optional<std::uint64_t> frames =
        FramesSentIn(ReadAll(process.output.get()));
    complete = complete && frames.has_value();
    sent.push_back(frames.value_or(0));
  }
  processes_.clear();
  if (!complete) return std::nullopt;
  return sent;
}

void CamsimFleet::EndAll() {
  // All are told first, so they wind down side by side.
  for (const Process& process : processes_) {
    if (process.pid > 0) ::kill(process.pid, SIGTERM);
  }
  for (Process& process : processes_) {
    if (process.pid <= 0) continue;
    int status = 0;
    while (::waitpid(process.pid, &status, 0) < 0 && errno == EINTR) {
    }
    process.pid = -1;
  }
}

}  // namespace scale

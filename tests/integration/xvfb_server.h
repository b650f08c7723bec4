// A private virtual X server for one test or benchmark: Xvfb started on a
// display number it picks itself, stopped when this object goes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace quorvel::test {

class XvfbServer {
 public:
  // The Xvfb program on PATH, or empty.
  static std::string FindProgram() {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= folders.size()) {
      const std::size_t end =
          std::min(folders.find(':', begin), folders.size());
      const std::string candidate =
          folders.substr(begin, end - begin) + "/Xvfb";
      if (end > begin && ::access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
      begin = end + 1;
    }
    return {};
  }

  // Starts a server with one screen of width x height at depth; null with
  // the reason in whyNot when it cannot be had.
  static std::unique_ptr<XvfbServer> Start(int width, int height, int depth,
                                           std::string* whyNot) {
    const std::string program = FindProgram();
    if (program.empty()) {
      *whyNot = "Xvfb is not installed (not found on PATH)";
      return nullptr;
    }
    int ready[2];
    if (::pipe(ready) != 0) {
      *whyNot = "no pipe for Xvfb's display number";
      return nullptr;
    }
    ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    const std::string screen = std::to_string(width) + "x" +
                               std::to_string(height) + "x" +
                               std::to_string(depth);
    const std::string fd = std::to_string(ready[1]);
    std::vector<std::string> args = {program,     "-displayfd", fd,
                                     "-screen",   "0",          screen,
                                     "-nolisten", "tcp",        "-noreset"};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr,
                                      argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    if (spawned != 0) {
      ::close(ready[0]);
      *whyNot = "Xvfb could not be started";
      return nullptr;
    }
    auto server = std::make_unique<XvfbServer>(pid);
    const std::string number = ReadLine(ready[0], 15000);
    ::close(ready[0]);
    if (number.empty()) {
      *whyNot = "Xvfb did not report a display within 15 s";
      return nullptr;
    }
    server->display_ = ":" + number;
    return server;
  }

  // Owns the running server pid.
  explicit XvfbServer(pid_t pid) : pid_(pid) {}
  ~XvfbServer() { Stop(SIGTERM); }

  // Ends the server as a crash would, without closing its clients down.
  void Crash() { Stop(SIGKILL); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  const std::string& display() const { return display_; }

 private:
  void Stop(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
  }

  static std::string ReadLine(int fd, int ms) {
    std::string line;
    while (true) {
      pollfd entry{fd, POLLIN, 0};
      if (::poll(&entry, 1, ms) != 1) return {};
      char c = 0;
      if (::read(fd, &c, 1) != 1) return {};
      if (c == '\n') return line;
      line.push_back(c);
    }
  }

  pid_t pid_;
  std::string display_;
};

}  // namespace quorvel::test

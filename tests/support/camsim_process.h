// A simulated camera in a process of its own, so that a test's counts of
// descriptors and threads see the library alone.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/socket.h"

extern char** environ;

namespace quorvel::test {

class CamsimProcess {
 public:
  // Starts `camsim --address address` plus extra options and waits until
  // it accepts connections.
  CamsimProcess(const std::string& program, const std::string& address,
                std::vector<std::string> options = {}) {
    std::vector<std::string> words = {program, "--address", address};
    words.insert(words.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(),
                    environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    std::uint32_t ipv4 = 0;
    if (pid_ < 0 || !platform::ParseIPv4(address.c_str(), &ipv4)) return;
    for (int i = 0; i < 250 && !ready_; ++i) {
      // A probe connection is greeted and closed; camsim takes it in its
      // stride.
      ready_ = platform::Socket::ConnectTcp(ipv4, 3002).valid();
      if (!ready_) platform::SleepMs(20);
    }
  }
  ~CamsimProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  CamsimProcess(const CamsimProcess&) = delete;
  CamsimProcess& operator=(const CamsimProcess&) = delete;

  bool ready() const { return ready_; }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace quorvel::test

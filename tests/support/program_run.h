// Runs a program the way a person or a script runs it, and gives back its
// exit status and what it printed.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace quorvel::test {

struct ProgramRun {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out, err;
};

// Starts words[0] with the arguments that follow, stdout and stderr going
// to the files given; -1 when it cannot be started.
inline pid_t SpawnProgram(std::vector<std::string> words,
                          const std::filesystem::path& out,
                          const std::filesystem::path& err) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, words[0].c_str(), &actions, nullptr, argv.data(),
                  environ) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// A new, empty folder for the running test's files, named after the test
// and this process so parallel runs never share one.
inline std::filesystem::path FreshTestDirectory(const std::string& prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) /
      (prefix + "_" + info->name() + "_" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file),
          std::istreambuf_iterator<char>()};
}

// Runs the program to its end, its output kept in dir. One that is still
// running after the deadline is killed and reported with status -1, so a
// hanging tool fails its test instead of stalling the run.
inline ProgramRun RunProgram(
    std::vector<std::string> words, const std::filesystem::path& dir,
    std::chrono::seconds deadline = std::chrono::seconds(45)) {
  ProgramRun run;
  const pid_t pid = SpawnProgram(std::move(words), dir / "out", dir / "err");
  if (pid < 0) return run;
  const auto end = std::chrono::steady_clock::now() + deadline;
  int status = 0;
  bool killed = false;
  while (!killed && waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      killed = true;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  run.status = !killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadText(dir / "out");
  run.err = ReadText(dir / "err");
  return run;
}

}  // namespace quorvel::test

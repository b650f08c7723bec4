// camsim and camview command lines as people type them: every refusal is
// one line and exit status 2, given before anything is served, looked up or
// displayed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "quorvel/quorvel.h"
#include "support/camsim_process.h"
#include "support/loopback.h"
#include "support/program_run.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

constexpr int kBlock = 43;
// A refused line ends at once; one taken for good would serve or display
// until this deadline kills it and the status shows it.
constexpr std::chrono::seconds kDeadline(20);

using Case = std::pair<std::vector<std::string>, std::string>;

class ToolCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = FreshTestDirectory("toolline"); }
  void TearDown() override { fs::remove_all(dir_); }

  // Each case's words after the program, and a part of its message.
  void ExpectRefused(const std::string& program, const std::string& name,
                     const std::vector<Case>& cases) {
    for (const auto& [words, message] : cases) {
      std::vector<std::string> line = {program};
      line.insert(line.end(), words.begin(), words.end());
      const ProgramRun run = RunProgram(line, dir_, kDeadline);
      const std::string shown = words.empty() ? "(none)" : words.back();
      EXPECT_EQ(run.status, 2) << shown << ": " << run.err;
      EXPECT_EQ(run.err.rfind(name + ": ", 0), 0u) << run.err;
      EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
  }

  fs::path dir_;
};

TEST_F(ToolCommandLineTest, CamsimRefusesBadOptions) {
  const std::string at = "--address=" + LoopbackAddress(kBlock, 10);
  const std::string fps = "--fps takes 0 (as fast as possible) or a rate";
  const std::string sps = "--sps takes a whole number from 0 to 6553";
  ExpectRefused(CAMSIM_PROGRAM, "camsim",
                {{{at, "--fps", "abc"}, fps},
                 {{at, "--fps", "5x"}, fps},
                 {{at, "--fps=-5"}, fps},
                 {{at, "--fps", "inf"}, fps},
                 {{at, "--sps", "x"}, sps},
                 {{at, "--sps", "6554"}, sps},
                 {{at, "--sps=99999999"}, sps},
                 {{"--address"}, "--address needs a value"},
                 {{"--address", "--fps", "5"}, "--address needs a value"},
                 {{at, "--mode=video"}, "--mode takes image or mask"},
                 {{at, "--colour", "red"}, "unknown option --colour"},
                 {{at, "--flash", (dir_ / "missing" / "flash.img").string()},
                  "cannot write the flash file"}});
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(ToolCommandLineTest, CamsimTakesOptionsWithEquals) {
  const std::string address = LoopbackAddress(kBlock, 11);
  CamsimProcess camsim(CAMSIM_PROGRAM, address,
                       {"--sps=6553", "--fps=0", "--mode=mask"});
  ASSERT_TRUE(camsim.ready());
  const char* handle = rvx_ConnectCameraNoDisplayA(address.c_str(), 0, 0);
  ASSERT_NE(handle, nullptr);
  std::int32_t value = 0;
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_INTERNAL_SPS, &value), 1);
  EXPECT_EQ(value, 6553);
  EXPECT_EQ(rvx_GetSmartMotion(handle, RVX_ITEM_MASK_STREAM, &value), 1);
  EXPECT_EQ(value, 1);
  rvx_DisconnectCamera(handle);
}

#ifdef CAMVIEW_PROGRAM
TEST_F(ToolCommandLineTest, CamviewSettlesItsCommandLineBeforeTheDisplay) {
  // Without a display, anything camview takes for good fails on opening it
  // with status 1; refusals must come first.
  unsetenv("DISPLAY");
  const std::string address = LoopbackAddress(kBlock, 12);
  ProgramRun run = RunProgram({CAMVIEW_PROGRAM, "--help"}, dir_, kDeadline);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: camview", 0), 0u) << run.out;

  ExpectRefused(CAMVIEW_PROGRAM, "camview",
                {{{"abc", "def"}, "usage: camview"},
                 {{address, "640"}, "usage: camview"},
                 {{address, "99999", "99999"}, "width must be a number"},
                 {{address, "640", "0"}, "height must be a number"},
                 {{"--size=3x100", address}, "width must be a number"},
                 {{"--size", "640", address}, "WIDTHxHEIGHT expected"},
                 {{"--zoom", "2", address}, "unknown option --zoom"},
                 {{}, "no camera address given"}});

  run =
      RunProgram({CAMVIEW_PROGRAM, "--size=320x240", address}, dir_, kDeadline);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot open the X display"), std::string::npos)
      << run.err;
}
#endif

}  // namespace
}  // namespace quorvel::test

// camtool as a user runs it: a separate program against a simulated camera,
// checked by what the camera holds, the files written, the exit status and
// the messages.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "frame_source.h"
#include "support/camera_fixture.h"
#include "support/program_run.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using ToolRun = ProgramRun;

constexpr int kBlock = 6;
constexpr std::size_t kArea = 524288;
constexpr std::size_t kRecord = 372;

Bytes ReadAll(const fs::path& path) {
  const std::string text = ReadText(path);
  return {text.begin(), text.end()};
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  for (auto& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

// The camsim program on one address, stopped as a user would stop it.
class CamsimProgram {
 public:
  CamsimProgram(const std::string& address, const fs::path& flash,
                const fs::path& logs) {
    pid_ = SpawnProgram(
        {CAMSIM_PROGRAM, "--address", address, "--flash", flash.string()},
        logs / "camsim.out", logs / "camsim.err");
    std::uint32_t ipv4 = 0;
    if (pid_ < 0 || !platform::ParseIPv4(address.c_str(), &ipv4)) return;
    ready_ = WaitUntil(
        [&] { return platform::Socket::ConnectTcp(ipv4, 3002).valid(); }, 5000);
  }
  ~CamsimProgram() { Stop(); }
  CamsimProgram(const CamsimProgram&) = delete;
  CamsimProgram& operator=(const CamsimProgram&) = delete;

  bool ready() const { return ready_; }
  // The exit status after SIGTERM; camsim ends cleanly on it.
  int Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

class CamtoolTest : public CameraTest {
 protected:
  void SetUp() override { dir_ = FreshTestDirectory("camtool"); }
  void TearDown() override {
    CameraTest::TearDown();
    fs::remove_all(dir_);
  }

  ToolRun Tool(int index, std::vector<std::string> words, int block = kBlock) {
    words.insert(words.begin(),
                 {CAMTOOL_PROGRAM, "--address", LoopbackAddress(block, index)});
    return ToolRaw(std::move(words));
  }

  ToolRun ToolRaw(std::vector<std::string> words) {
    return RunProgram(std::move(words), dir_);
  }

  fs::path File(const std::string& name) const { return dir_ / name; }

  fs::path dir_;
};

TEST_F(CamtoolTest, DeviceRecordRoundTripKeepsTheCamerasWords) {
  camsim::CameraServer& camera = Serve(kBlock, 60);
  const Bytes factory = camera.model().area(7);

  ToolRun run = Tool(60, {"record-read", File("record.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadAll(File("record.bin")), factory);

  Bytes edited = ReadAll(File("record.bin"));
  for (auto& byte : edited) byte = static_cast<std::uint8_t>(~byte);
  WriteAll(File("edited.bin"), edited);
  run = Tool(60, {"record-write", File("edited.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  Bytes expected = edited;
  std::copy(factory.begin(), factory.begin() + 8, expected.begin());
  std::copy(factory.begin() + 164, factory.begin() + 180,
            expected.begin() + 164);
  EXPECT_EQ(camera.model().area(7), expected);

  run = Tool(60, {"record-read", File("again.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadAll(File("again.bin")), expected);
}

TEST_F(CamtoolTest, AreasRoundTripWithProgressOnStderr) {
  camsim::CameraServer& camera = Serve(kBlock, 61);
  const Bytes area3 = camera.model().area(3);
  const Bytes data = Pattern(600000, 1);
  WriteAll(File("data.bin"), data);

  ToolRun run = Tool(61, {"areas-write", File("data.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "writing 600000 bytes to areas 2-3 ...\ndone\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(camera.model().area(2), Bytes(data.begin(), data.begin() + kArea));

  run = Tool(61, {"area-read", "3", File("area3.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  Bytes expected = area3;
  std::copy(data.begin() + kArea, data.end(), expected.begin());
  EXPECT_EQ(ReadAll(File("area3.bin")), expected);
  EXPECT_EQ(run.err, "reading area 3 (524288 bytes) ...\ndone\n");
}

TEST_F(CamtoolTest, ItemsAreReadAndSetOverAVideoConnection) {
  camsim::CameraServer& camera = Serve(kBlock, 62);
  camera.model().SetInternalSps(125);
  ToolRun run = Tool(62, {"get", "201"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "125\n");

  run = Tool(62, {"set", "203", "-77"});
  EXPECT_EQ(run.status, 0) << run.err;
  run = Tool(62, {"get", "203"});
  EXPECT_EQ(run.out, "-77\n");

  run = Tool(62, {"set", "103", "1104"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "camtool: camera did not take item 103 = 1104\n");
  run = Tool(62, {"get", "209"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "camtool: cannot read item 209\n");
}

// A refused command line ends with status 2, a failure met while running
// with status 1; either way one line on stderr.
TEST_F(CamtoolTest, FailuresEndWithOneLineAndTheirStatus) {
  camsim::CameraServer& camera = Serve(kBlock, 63);
  ToolRun run = Tool(98, {"record-read", File("r.bin").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "camtool: nothing serves 127.0.6.98: port 3002 refused the "
            "connection\n");
  EXPECT_FALSE(fs::exists(File("r.bin")));

  // Refused before the camera is contacted.
  WriteAll(File("short.bin"), Bytes(kRecord - 1));
  WriteAll(File("empty.bin"), {});
  const std::vector<std::pair<int, std::vector<std::string>>> refused = {
      {1, {"record-write", File("short.bin").string()}},
      {1, {"areas-write", File("empty.bin").string()}},
      {1, {"areas-write", File("missing.bin").string()}},
      {2, {"area-read", "7", File("a.bin").string()}},
      {2, {"get", "2x"}},
      {2, {"set", "203", "4294967296"}},
      {2, {"snapshot", File("picture.png").string()}},
      {2, {"erase"}},
      {2, {"get"}}};
  for (const auto& [status, words] : refused) {
    run = Tool(63, words);
    EXPECT_EQ(run.status, status) << words[0];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("camtool: ", 0), 0u) << run.err;
  }
  EXPECT_EQ(camera.commandConnections(), 0);

  run = ToolRaw({CAMTOOL_PROGRAM, "get", "201"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "camtool: --address is required\n");
  run = ToolRaw({CAMTOOL_PROGRAM, "--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("usage: camtool"), std::string::npos);
}

TEST_F(CamtoolTest, SnapshotSavesOneCompleteFrame) {
  Serve(kBlock, 64);
  ToolRun run = Tool(64, {"snapshot", File("frame.raw").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes raw = ReadAll(File("frame.raw"));
  ASSERT_EQ(raw.size(), 640u * 480u);
  bool isAFrame = false;
  for (std::uint32_t i = 0; i < 32 && !isAFrame; ++i) {
    isAFrame = raw == camsim::RenderPicture(640, 480, i);
  }
  EXPECT_TRUE(isAFrame) << "the file holds one of the camera's pictures";

  run = Tool(64, {"--size", "320x240", "snapshot", File("small.bmp").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes bmp = ReadAll(File("small.bmp"));
  ASSERT_GE(bmp.size(), 54u + 320u * 240u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(platform::LoadLE32(bmp.data() + 2), bmp.size());
  EXPECT_EQ(platform::LoadLE32Signed(bmp.data() + 18), 320);
  EXPECT_EQ(std::abs(platform::LoadLE32Signed(bmp.data() + 22)), 240);
}

TEST_F(CamtoolTest, FlashFileKeepsWritesAcrossACamsimRestart) {
  const std::string address = LoopbackAddress(kBlock, 65);
  const fs::path flash = File("flash.img");
  const Bytes data = Pattern(2 * kArea, 2);
  WriteAll(File("data.bin"), data);
  const Bytes record = Pattern(kRecord, 3);
  WriteAll(File("record.bin"), record);
  Bytes factoryRecord;
  {
    CamsimProgram camsim(address, flash, dir_);
    ASSERT_TRUE(camsim.ready());
    EXPECT_FALSE(fs::exists(flash)) << "nothing written yet";
    ASSERT_EQ(Tool(65, {"record-read", File("factory.bin").string()}).status,
              0);
    factoryRecord = ReadAll(File("factory.bin"));
    ToolRun run = Tool(65, {"areas-write", File("data.bin").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    run = Tool(65, {"record-write", File("record.bin").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(camsim.Stop(), 0);
  }
  ASSERT_TRUE(fs::exists(flash));

  CamsimProgram restarted(address, flash, dir_);
  ASSERT_TRUE(restarted.ready());
  ToolRun run = Tool(65, {"area-read", "3", File("area3.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadAll(File("area3.bin")),
            Bytes(data.begin() + kArea, data.end()));
  run = Tool(65, {"record-read", File("stored.bin").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  Bytes expected = record;
  std::copy(factoryRecord.begin(), factoryRecord.begin() + 8, expected.begin());
  std::copy(factoryRecord.begin() + 164, factoryRecord.begin() + 180,
            expected.begin() + 164);
  EXPECT_EQ(ReadAll(File("stored.bin")), expected);
}

TEST_F(CamtoolTest, CamsimRefusesAFlashFileThatIsNotAnImage) {
  WriteAll(File("bad.img"), Bytes(100, 0x42));
  const ToolRun run =
      ToolRaw({CAMSIM_PROGRAM, "--address", LoopbackAddress(kBlock, 66),
               "--flash", File("bad.img").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("is not a flash image"), std::string::npos);
}

// The tools' own block of addresses.
constexpr int kToolBlock = 43;

TEST_F(CamtoolTest, BadCommandLinesAreRefusedBeforeAnyConnection) {
  camsim::CameraServer& camera = Serve(kToolBlock, 1);
  const std::string address = LoopbackAddress(kToolBlock, 1);
  ToolRun run = ToolRaw({CAMTOOL_PROGRAM});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("usage: camtool"), std::string::npos) << run.err;

  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--size", "99999x2", "info"}, "width must be a number from 4 to 32767"},
      {{"--size=2x100", "info"}, "width must be a number from 4 to 32767"},
      {{"--size", "640x0", "info"}, "height must be a number from 1 to 32767"},
      {{"--size", "640", "info"}, "WIDTHxHEIGHT expected"},
      {{"set", "207", "50"}, "would be lost when camtool exits"},
      {{"set", "208", "1"}, "would be lost when camtool exits"},
      {{"set", "209", "1"}, "would be lost when camtool exits"},
      {{"snapshot", "frame"}, "must end in .bmp (a picture) or .raw"},
      {{"info", "now"}, "usage: camtool --address A info"},
      {{"--speed", "2", "info"}, "unknown option --speed"}};
  for (const auto& [words, message] : cases) {
    run = Tool(1, words, kToolBlock);
    EXPECT_EQ(run.status, 2) << words[0];
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  run = ToolRaw({CAMTOOL_PROGRAM, "--address"});
  EXPECT_EQ(run.err, "camtool: --address needs a value\n");
  EXPECT_EQ(run.status, 2);
  run = ToolRaw({CAMTOOL_PROGRAM, "--address", address, "get", "--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: camtool", 0), 0u);
  EXPECT_EQ(camera.commandConnections(), 0);

  camera.model().SetInternalSps(6553);
  run = ToolRaw({CAMTOOL_PROGRAM, "--address=" + address, "get", "201"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "6553\n");
}

TEST_F(CamtoolTest, InfoReportsNameRatesAndDecimation) {
  Serve(kToolBlock, 2);
  const ToolRun run = Tool(2, {"--size=320x240", "info"}, kToolBlock);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("device name: RVXOSTRL1[1]\npicture: 320x240\n"),
            std::string::npos)
      << run.out;
  double received = 0;
  const std::size_t at = run.out.find("received: ");
  ASSERT_NE(at, std::string::npos) << run.out;
  received = std::atof(run.out.c_str() + at + 10);
  EXPECT_GT(received, 0.0) << run.out;
  EXPECT_NE(run.out.find("displayed: 0.0 fps\n"), std::string::npos);
  EXPECT_NE(run.out.find("decimation: step 1x1, displayed picture 320x240\n"),
            std::string::npos)
      << run.out;
}

TEST_F(CamtoolTest, ConnectFailuresNameTheirCause) {
  const std::string address = LoopbackAddress(kToolBlock, 3);
  ToolRun run = Tool(3, {"get", "201"}, kToolBlock);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "camtool: nothing serves " + address +
                         ": port 3002 refused the connection\n");

  camsim::CameraServer& camera = Serve(kToolBlock, 3);
  camera.SetWrongGreetings(1000);
  run = Tool(3, {"record-read", File("r.bin").string()}, kToolBlock);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "camtool: " + address +
                         " answers on port 3002 but not with a camera's "
                         "greeting\n");
}

}  // namespace
}  // namespace quorvel::test

// camtool as a user runs it: a separate program against a simulated camera,
// checked by what the camera holds, the files written, the exit status and
// the messages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frame_source.h"
#include "support/camera_fixture.h"

extern char** environ;

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kBlock = 6;
constexpr std::size_t kArea = 524288;
constexpr std::size_t kRecord = 372;

Bytes ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file),
          std::istreambuf_iterator<char>()};
}

std::string ReadText(const fs::path& path) {
  const Bytes bytes = ReadAll(path);
  return {bytes.begin(), bytes.end()};
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

pid_t Spawn(std::vector<std::string> words, const fs::path& out,
            const fs::path& err) {
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

struct ToolRun {
  int status = -1;  // exit status, -1 when it did not exit normally
  std::string out, err;
};

// The camsim program on one address, stopped as a user would stop it.
class CamsimProgram {
 public:
  CamsimProgram(const std::string& address, const fs::path& flash,
                const fs::path& logs) {
    pid_ =
        Spawn({CAMSIM_PROGRAM, "--address", address, "--flash", flash.string()},
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
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(::testing::TempDir()) /
           ("camtool_" + std::string(info->name()) + "_" +
            std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    CameraTest::TearDown();
    fs::remove_all(dir_);
  }

  ToolRun Tool(int index, std::vector<std::string> words) {
    words.insert(words.begin(), {CAMTOOL_PROGRAM, "--address",
                                 LoopbackAddress(kBlock, index)});
    return ToolRaw(std::move(words));
  }

  ToolRun ToolRaw(std::vector<std::string> words) {
    ToolRun run;
    const pid_t pid = Spawn(std::move(words), dir_ / "out", dir_ / "err");
    if (pid < 0) return run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadText(dir_ / "out");
    run.err = ReadText(dir_ / "err");
    return run;
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

TEST_F(CamtoolTest, FailuresEndWithOneLineAndStatusOne) {
  camsim::CameraServer& camera = Serve(kBlock, 63);
  ToolRun run = Tool(98, {"record-read", File("r.bin").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "camtool: cannot connect to 127.0.6.98\n");
  EXPECT_FALSE(fs::exists(File("r.bin")));

  // Refused before the camera is contacted.
  WriteAll(File("short.bin"), Bytes(kRecord - 1));
  WriteAll(File("empty.bin"), {});
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{
           {"record-write", File("short.bin").string()},
           {"areas-write", File("empty.bin").string()},
           {"areas-write", File("missing.bin").string()},
           {"area-read", "7", File("a.bin").string()},
           {"get", "2x"},
           {"set", "203", "4294967296"},
           {"snapshot", File("picture.png").string()},
           {"erase"},
           {"get"}}) {
    run = Tool(63, words);
    EXPECT_EQ(run.status, 1) << words[0];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("camtool: ", 0), 0u) << run.err;
  }
  EXPECT_EQ(camera.commandConnections(), 0);

  run = ToolRaw({CAMTOOL_PROGRAM, "get", "201"});
  EXPECT_EQ(run.status, 1);
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

}  // namespace
}  // namespace quorvel::test

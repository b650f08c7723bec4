// The command channel against the simulated camera over loopback.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/socket.h>
#endif

#include <array>
#include <chrono>
#include <future>
#include <thread>

#include "camera_server.h"
#include "command/send_command.h"
#include "command/wait_ack.h"
#include "command/wire.h"
#include "platform/clock.h"
#include "support/deadlines.h"
#include "support/loopback.h"

namespace quorvel {
namespace {

using camsim::Fault;
using Kind = camsim::Fault::Kind;

constexpr std::uint32_t kCompletionWaitMs = 5000;

class CommandChannelTest : public ::testing::Test {
 protected:
  void Open(int index) {
    server_ =
        std::make_unique<camsim::CameraServer>(test::LoopbackAddress(2, index));
    ASSERT_TRUE(server_->Start());
    ASSERT_TRUE(platform::ParseIPv4(server_->address().c_str(), &ipv4_));
    record_.commandSocket = platform::Socket::ConnectTcp(ipv4_, 3002);
    ASSERT_TRUE(record_.commandSocket.valid());
    ASSERT_TRUE(Greeted(record_.commandSocket));
  }

  static bool Greeted(const platform::Socket& socket) {
    return Succeeded(
        WaitAck(socket, command::kGreetingCode, CommandLimits()));
  }

  void Reconnect() {
    record_.commandSocket.ShutdownBoth();
    record_.commandSocket = platform::Socket::ConnectTcp(ipv4_, 3002);
    ASSERT_TRUE(Greeted(record_.commandSocket));
  }

  // The bytes the library has sent so far, as the camera counted them. The
  // camera reads the connection in order and counts a request before it
  // answers, so once a marker query is answered every earlier byte has been
  // counted, however slow the machine. The markers' own bytes are left out.
  std::uint64_t SentBytes() {
    EXPECT_EQ(SendCommand(&record_, kMarker, 0, nullptr), CommandStatus::kOk);
    ++markers_;
    return server_->commandBytes() - markers_ * command::kPairSize;
  }

  static constexpr std::int32_t kMarker = 66;

  // Reads the data channel the way the receiver will, passing on the
  // completion notice of command 256.
  void StartCompletionReader() {
    data_ = platform::Socket::ConnectTcp(ipv4_, 3001);
    ASSERT_TRUE(data_.valid());
    ASSERT_TRUE(server_->WaitForDataConnection(test::kPatienceMs));
    reader_ = std::thread([this] {
      command::WirePair packet{};
      while (platform::ReceiveAll(data_, packet.data(), 8, {}) ==
             platform::IoResult::kOk) {
        if (command::PairFirst(packet) == 256) SignalCommandDone(&record_);
      }
    });
  }

  void TearDown() override {
    record_.commandSocket.ShutdownBoth();
    data_.ShutdownBoth();
    if (reader_.joinable()) reader_.join();
    if (server_) server_->Stop();
  }

  std::unique_ptr<camsim::CameraServer> server_;
  std::uint32_t ipv4_ = 0;
  CameraRecord record_;
  platform::Socket data_;
  std::thread reader_;
  std::uint64_t markers_ = 0;
};

TEST_F(CommandChannelTest, RefusedCodesSendNothingButResetTheCompletion) {
  Open(1);
  EXPECT_EQ(SendCommand(nullptr, 1, 0, nullptr), CommandStatus::kNoRecord);
  record_.commandDoneExists.store(true);
  record_.commandDoneEvent.Set();
  EXPECT_EQ(SendCommand(&record_, 4, 0, nullptr), CommandStatus::kRefusedCode);
  EXPECT_EQ(SendCommand(&record_, 523, 0, nullptr),
            CommandStatus::kRefusedCode);
  EXPECT_FALSE(record_.commandDoneEvent.Wait(0))
      << "a stale completion survived";
  EXPECT_EQ(SentBytes(), 0u);
  EXPECT_EQ(server_->codes(), std::vector<std::int32_t>{kMarker});
}

TEST_F(CommandChannelTest, PlainCommandsPutExactlyHeaderAndPayloadOnTheWire) {
  Open(2);
  EXPECT_EQ(SendCommand(&record_, 1, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(SentBytes(), 8u);
  const std::uint8_t value[4] = {0x2C, 0x01, 0x00, 0x00};
  EXPECT_EQ(SendCommand(&record_, 65537, 4, value), CommandStatus::kOk);
  EXPECT_EQ(SentBytes(), 20u);
  const auto commands = server_->commands();
  ASSERT_EQ(commands.size(), 4u) << "each request followed by a marker";
  EXPECT_EQ(commands[0].code, 1);
  EXPECT_EQ(commands[2].code, 65537);
  EXPECT_EQ(commands[2].payload, std::vector<std::uint8_t>(value, value + 4));
  // The setting is what the paired query reads back.
  EXPECT_EQ(SendCommand(&record_, 65538, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.reply65538, 300);
}

TEST_F(CommandChannelTest, AcknowledgementMustBe1296WithStatusZero) {
  Open(3);
  server_->SetFault(1, {Kind::kAckStatus, 1, 1});
  EXPECT_EQ(SendCommand(&record_, 1, 0, nullptr), CommandStatus::kBadAck);
  server_->SetFault(1, {Kind::kAckCode, 1282, 1});
  EXPECT_EQ(SendCommand(&record_, 1, 0, nullptr), CommandStatus::kBadAck);
  EXPECT_EQ(SendCommand(&record_, 1, 0, nullptr), CommandStatus::kOk);
}

TEST_F(CommandChannelTest, QueryRepliesFillTheReplyStore) {
  Open(4);
  auto& model = server_->model();
  model.SetInternalSps(40);
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.internalSps, 200);
  // Five times the value, kept to 16 bits.
  model.SetInternalSps(13108);
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.internalSps,
            static_cast<std::int16_t>(static_cast<std::uint16_t>(65540)));

  model.SetQueryValue(81, 83);
  EXPECT_EQ(SendCommand(&record_, 81, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.reply81, 0);
  model.SetQueryValue(81, 82);
  EXPECT_EQ(SendCommand(&record_, 81, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.reply81, 1);

  model.SetQueryValue(36, 0x1234);
  EXPECT_EQ(SendCommand(&record_, 36, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.reply36lo, 0x34);
  EXPECT_EQ(record_.reply36hi, 0x12);

  model.SetQueryValue(68, 0xFFFF);
  EXPECT_EQ(SendCommand(&record_, 68, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.reply68, -1);

  model.SetQueryValue(65569, 65570);
  EXPECT_EQ(SendCommand(&record_, 65569, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.reply65569, 1);
}

TEST_F(CommandChannelTest, ReplyCodeDecidesBetweenFailureAndSilentSuccess) {
  Open(5);
  auto& model = server_->model();
  model.SetInternalSps(40);
  ASSERT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  ASSERT_EQ(record_.internalSps, 200);
  model.SetInternalSps(7);

  // Another known query code: a failure that stores nothing.
  server_->SetFault(66, {Kind::kReplyCode, 68, 1});
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kWrongReply);
  EXPECT_EQ(record_.internalSps, 200);
  EXPECT_EQ(record_.reply68, 0);

  // An unknown code: success, nothing read or stored. Both answers leave
  // their value bytes unread, so each is followed by a fresh connection.
  Reconnect();
  server_->SetFault(66, {Kind::kReplyCode, 7, 1});
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.internalSps, 200);

  // 522 completes on its header alone.
  Reconnect();
  EXPECT_EQ(SendCommand(&record_, 522, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.internalSps, 35);
}

TEST_F(CommandChannelTest, BulkReadDeliversBodyAndCount) {
  Open(6);
  std::vector<std::uint8_t> area(camsim::kAreaSize);
  for (std::size_t i = 0; i < area.size(); ++i)
    area[i] = static_cast<std::uint8_t>(i * 13 + 5);
  server_->model().SetArea(3, area);
  const std::uint8_t areaNumber[2] = {3, 0};
  const std::uint8_t offset[4] = {0, 0, 0, 0};
  const std::uint8_t count[4] = {0x2C, 0x01, 0, 0};  // 300
  ASSERT_EQ(SendCommand(&record_, 516, 2, areaNumber), CommandStatus::kOk);
  ASSERT_EQ(SendCommand(&record_, 518, 4, offset), CommandStatus::kOk);
  ASSERT_EQ(SendCommand(&record_, 519, 4, count), CommandStatus::kOk);

  std::vector<std::uint8_t> buffer(400, 0x55);
  std::int32_t received = -1;
  ASSERT_EQ(
      SendCommand(&record_, 520, 0, nullptr, &received, buffer.data(), 400),
      CommandStatus::kOk);
  EXPECT_EQ(received, 300);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 300, area.begin()));
  EXPECT_EQ(buffer[300], 0x55);

  // A sub-header for the write command answers no read.
  server_->SetFault(520, {Kind::kReplyCode, 521, 1});
  received = -1;
  EXPECT_EQ(
      SendCommand(&record_, 520, 0, nullptr, &received, buffer.data(), 400),
      CommandStatus::kWrongReply);
  EXPECT_EQ(received, -1);
}

TEST_F(CommandChannelTest, OversizedBulkBodyFailsAndKeepsTheConnectionInStep) {
  Open(7);
  const std::uint8_t areaNumber[2] = {7, 0};
  const std::uint8_t count[4] = {0x00, 0x00, 0x01, 0x00};  // 65536
  ASSERT_EQ(SendCommand(&record_, 516, 2, areaNumber), CommandStatus::kOk);
  ASSERT_EQ(SendCommand(&record_, 519, 4, count), CommandStatus::kOk);

  // The device record is 372 bytes; give the reply a 100-byte destination
  // inside a larger guarded buffer.
  std::array<std::uint8_t, 200> guarded{};
  guarded.fill(0x77);
  std::int32_t received = -1;
  EXPECT_EQ(SendCommand(&record_, 520, 0, nullptr, &received,
                        guarded.data() + 50, 100),
            CommandStatus::kOverflow);
  EXPECT_EQ(received, -1);
  for (std::size_t i = 0; i < guarded.size(); ++i) {
    ASSERT_EQ(guarded[i], 0x77) << "byte " << i << " was written";
  }
  server_->model().SetInternalSps(12);
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.internalSps, 60);

  // A body announced longer than it is read by the camera's own fault, too.
  server_->SetFault(520, {Kind::kLongBody, 1000, 1});
  std::vector<std::uint8_t> big(2000, 0);
  EXPECT_EQ(SendCommand(&record_, 520, 0, nullptr, &received, big.data(), 1000),
            CommandStatus::kOverflow);
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
}

TEST_F(CommandChannelTest, BrokenRepliesFailTheCall) {
  Open(8);
  std::vector<std::uint8_t> buffer(1024);
  std::int32_t received = 0;
  const std::uint8_t areaNumber[2] = {1, 0};
  const std::uint8_t count[4] = {100, 0, 0, 0};
  ASSERT_EQ(SendCommand(&record_, 516, 2, areaNumber), CommandStatus::kOk);
  ASSERT_EQ(SendCommand(&record_, 519, 4, count), CommandStatus::kOk);
  server_->SetFault(520, {Kind::kShortBody, 10, 1});
  EXPECT_EQ(
      SendCommand(&record_, 520, 0, nullptr, &received, buffer.data(), 1024),
      CommandStatus::kReceiveFailed);
  // The camera went away: every later transaction fails, none crashes.
  EXPECT_NE(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  EXPECT_NE(SendCommand(&record_, 1, 0, nullptr), CommandStatus::kOk);
}

TEST_F(CommandChannelTest, PeerClosingMidReplyFailsTheCall) {
  Open(9);
  server_->SetFault(66, {Kind::kCloseMidReply, 0, 1});
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr),
            CommandStatus::kReceiveFailed);
  EXPECT_EQ(record_.internalSps, 0);
}

// The Windows build's sockets are non-blocking throughout and wait before
// each read; this case makes a blocking POSIX socket report would-block.
#if !defined(_WIN32)
TEST_F(CommandChannelTest, WouldBlockReceivesAreRepeatedUntilTheReplyComes) {
  Open(10);
  // A receive time-out makes the blocking socket report would-block.
  timeval shortWait{0, 20000};
  ASSERT_EQ(setsockopt(record_.commandSocket.native(), SOL_SOCKET, SO_RCVTIMEO,
                       &shortWait, sizeof shortWait),
            0);
  server_->SetFault(66, {Kind::kDelay, 300, 1});
  EXPECT_EQ(SendCommand(&record_, 66, 0, nullptr), CommandStatus::kOk);
  EXPECT_EQ(record_.internalSps, 200);
}
#endif

TEST_F(CommandChannelTest, StalledCameraBlocksUntilTheConnectionIsShutDown) {
  Open(11);
  server_->SetFault(66, {Kind::kStall, 0, 1});
  auto call = std::async(std::launch::async, [this] {
    return SendCommand(&record_, 66, 0, nullptr);
  });
  EXPECT_EQ(call.wait_for(std::chrono::milliseconds(300)),
            std::future_status::timeout);
  record_.commandSocket.ShutdownBoth();
  ASSERT_EQ(call.wait_for(std::chrono::milliseconds(test::kPatienceMs)),
            std::future_status::ready);
  EXPECT_EQ(call.get(), CommandStatus::kReceiveFailed);
}

TEST_F(CommandChannelTest, CompletionArrivesOnTheDataChannel) {
  Open(12);
  StartCompletionReader();
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(SendCommand(&record_, 256, 4, "abcd"), CommandStatus::kOk);
  // Not by waiting out the 5-second completion wait.
  EXPECT_LT(platform::TickCount() - start, kCompletionWaitMs);
  // Whatever the caller passed, 256 goes out as a bare header.
  const auto commands = server_->commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_TRUE(commands[0].payload.empty());

  server_->SetFault(256, {Kind::kLateCompletion, 1500, 1});
  EXPECT_EQ(SendCommand(&record_, 256, 0, nullptr), CommandStatus::kOk);
  server_->SetFault(256, {Kind::kReplyCode, 257, 1});
  EXPECT_EQ(SendCommand(&record_, 256, 0, nullptr), CommandStatus::kWrongReply);
}

TEST_F(CommandChannelTest, MissingCompletionTimesOutAfterFiveSeconds) {
  Open(13);
  StartCompletionReader();
  server_->SetFault(256, {Kind::kNoCompletion, 0, 1});
  const std::uint32_t start = platform::TickCount();
  EXPECT_EQ(SendCommand(&record_, 256, 0, nullptr), CommandStatus::kTimedOut);
  const std::uint32_t elapsed = platform::TickCount() - start;
  EXPECT_GE(elapsed, kCompletionWaitMs);
  // Once, not twice, however late a loaded machine wakes the waiter.
  EXPECT_LT(elapsed, kCompletionWaitMs + 4000);
  // A completion that arrives after its wait does not satisfy the next one
  // by itself: the next transaction clears it first.
  record_.commandDoneEvent.Set();
  server_->SetFault(256, {Kind::kNoCompletion, 0, 1});
  EXPECT_EQ(SendCommand(&record_, 256, 0, nullptr), CommandStatus::kTimedOut);
}

TEST_F(CommandChannelTest, GreetingIsCheckedWithTheAcknowledgementRoutine) {
  Open(14);
  server_->SetWrongGreetings(1);
  platform::Socket second = platform::Socket::ConnectTcp(ipv4_, 3002);
  ASSERT_TRUE(second.valid());
  EXPECT_FALSE(Greeted(second));
  platform::Socket third = platform::Socket::ConnectTcp(ipv4_, 3002);
  EXPECT_TRUE(Greeted(third));
}

}  // namespace
}  // namespace quorvel

// Flash operations against the simulated camera: the device record, area
// reads and multi-area writes, and the failures that must stop them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/camera_fixture.h"

namespace quorvel::test {
namespace {

using camsim::Fault;
using Kind = camsim::Fault::Kind;
using Bytes = std::vector<std::uint8_t>;
using Codes = std::vector<std::int32_t>;

constexpr int kBlock = 6;
constexpr std::size_t kArea = 524288;
constexpr std::size_t kRecord = 372;

Bytes U16(std::uint16_t value) {
  return {static_cast<std::uint8_t>(value),
          static_cast<std::uint8_t>(value >> 8)};
}

Bytes U32(std::uint32_t value) {
  Bytes bytes(4);
  platform::StoreLE32(bytes.data(), value);
  return bytes;
}

// Bytes that differ from camsim's factory contents everywhere.
Bytes Pattern(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  std::uint32_t state = seed;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

class FlashTest : public CameraTest {
 protected:
  const char* Connect(int index) {
    camera_ = &Serve(kBlock, index);
    const char* handle =
        rvx_FlashConnectCameraA(LoopbackAddress(kBlock, index).c_str());
    EXPECT_NE(handle, nullptr);
    camera_->ClearLog();
    return handle;
  }

  camsim::CameraModel& model() { return camera_->model(); }
  Codes Sent() const { return camera_->codes(); }

  // The commands that address a region: area, offset 0, byte count.
  void ExpectAddressed(const std::vector<camsim::ReceivedCommand>& commands,
                       std::size_t at, std::uint16_t area,
                       std::uint32_t count) {
    ASSERT_GE(commands.size(), at + 3);
    EXPECT_EQ(commands[at].code, 516);
    EXPECT_EQ(commands[at].payload, U16(area));
    EXPECT_EQ(commands[at + 1].code, 518);
    EXPECT_EQ(commands[at + 1].payload, U32(0));
    EXPECT_EQ(commands[at + 2].code, 519);
    EXPECT_EQ(commands[at + 2].payload, U32(count));
  }

  camsim::CameraServer* camera_ = nullptr;
};

TEST_F(FlashTest, EmptyOperationsNeedOnlyAConnectedCameraAndABuffer) {
  const char* handle = Connect(30);
  ASSERT_NE(handle, nullptr);
  std::uint8_t byte = 0;
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_NOTHING, &byte, 0), 1);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_NOTHING_TOO, &byte, -5), 1);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_NOTHING, nullptr, 0), 0);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_NOTHING_TOO, nullptr, 0), 0);
  EXPECT_EQ(rvx_FlashOperation(nullptr, RVX_FLASH_NOTHING, &byte, 0), 0);
  EXPECT_EQ(rvx_FlashOperation("RVXOSTRL1[9]", RVX_FLASH_NOTHING_TOO, &byte, 0), 0);
  for (const std::int32_t operation : {0, 60, 63, 920, 925, -61}) {
    EXPECT_EQ(rvx_FlashOperation(handle, operation, &byte, 1), 0) << operation;
  }
  Bytes record(kRecord);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, nullptr, 0), 0);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_RECORD, nullptr, 0), 0);

  // A camera that is no longer marked connected is refused before traffic.
  const CameraRef camera = Record(handle);
  camera->connected.store(0);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_NOTHING, &byte, 0), 0);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, record.data(), 0), 0);
  camera->connected.store(1);
  EXPECT_EQ(Sent(), Codes{});
}

TEST_F(FlashTest, ReadingAnAreaTakesItsNumberFromTheLowSixteenBits) {
  const char* handle = Connect(31);
  ASSERT_NE(handle, nullptr);
  Bytes buffer(kArea, 0x5A);
  for (const std::int32_t length : {0, 7, -1, 0x10007, 0xFFFF}) {
    EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), length), 0)
        << length;
  }
  EXPECT_EQ(Sent(), Codes{});
  EXPECT_EQ(buffer, Bytes(kArea, 0x5A));

  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), 1), 1);
  EXPECT_EQ(buffer, model().area(1));
  const auto commands = camera_->commands();
  ASSERT_EQ(commands.size(), 4u);
  ExpectAddressed(commands, 0, 1, kArea);
  EXPECT_EQ(commands[3].code, 520);

  // 0x10006 names area 6.
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), 0x10006), 1);
  EXPECT_EQ(buffer, model().area(6));
}

TEST_F(FlashTest, AnAreaReadOfAnyOtherSizeFails) {
  const char* handle = Connect(32);
  ASSERT_NE(handle, nullptr);
  Bytes buffer(kArea);
  model().SetArea(3, Bytes(kArea - 1, 0x11));
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), 3), 0);
  // More than the caller's buffer holds is never written into it, and the
  // channel stays usable for the next operation.
  camera_->SetFault(520, Fault{Kind::kLongBody, 1, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), 2), 0);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), 2), 1);
  EXPECT_EQ(buffer, model().area(2));

  // A failing step ends the operation before the read.
  camera_->ClearLog();
  camera_->SetFault(519, Fault{Kind::kAckStatus, 1, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), 4), 0);
  EXPECT_EQ(Sent(), (Codes{516, 518, 519}));
}

TEST_F(FlashTest, WritesFillAreasFromTwoOnwardInBlocks) {
  const char* handle = Connect(33);
  ASSERT_NE(handle, nullptr);
  const Bytes factory4 = model().area(4);

  Bytes data = Pattern(kArea, 1);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(),
                               static_cast<std::int32_t>(kArea)),
            1);
  EXPECT_EQ(model().area(2), data);
  const auto commands = camera_->commands();
  ASSERT_EQ(commands.size(), 6u);
  ExpectAddressed(commands, 0, 2, kArea);
  EXPECT_EQ(commands[3].code, 522);
  EXPECT_EQ(commands[4].code, 519);
  EXPECT_EQ(commands[4].payload, U32(kArea));
  EXPECT_EQ(commands[5].code, 521);
  EXPECT_EQ(commands[5].payload, data);

  // One byte past a whole block goes to the start of area 3 alone.
  camera_->ClearLog();
  const Bytes before3 = model().area(3);
  data = Pattern(kArea + 1, 2);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(),
                               static_cast<std::int32_t>(kArea + 1)),
            1);
  EXPECT_EQ(model().area(2), Bytes(data.begin(), data.begin() + kArea));
  Bytes expected3 = before3;
  expected3[0] = data[kArea];
  EXPECT_EQ(model().area(3), expected3);
  EXPECT_EQ(model().area(4), factory4);
  const auto second = camera_->commands();
  ASSERT_EQ(second.size(), 12u);
  ExpectAddressed(second, 6, 3, kArea);
  EXPECT_EQ(second[9].code, 522);
  EXPECT_EQ(second[10].payload, U32(1));
  EXPECT_EQ(second[11].payload, Bytes{data[kArea]});
}

TEST_F(FlashTest, FiveBlocksAreTheMostOneWriteTakes) {
  const char* handle = Connect(34);
  ASSERT_NE(handle, nullptr);
  const Bytes area1 = model().area(1);
  Bytes data = Pattern(5 * kArea + 1, 3);
  for (const std::int32_t length : {0, -1, -static_cast<std::int32_t>(kArea),
                                    static_cast<std::int32_t>(5 * kArea + 1)}) {
    EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(), length), 0)
        << length;
  }
  EXPECT_EQ(Sent(), Codes{});

  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(),
                               static_cast<std::int32_t>(5 * kArea)),
            1);
  for (int area = 2; area <= 6; ++area) {
    const auto from =
        data.begin() + static_cast<std::ptrdiff_t>((area - 2) * kArea);
    EXPECT_EQ(model().area(area), Bytes(from, from + kArea)) << area;
  }
  EXPECT_EQ(model().area(1), area1);
  const Codes sent = Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), 521), 5);
}

TEST_F(FlashTest, AFailingBlockStopsTheWriteAndKeepsTheEarlierOnes) {
  const char* handle = Connect(35);
  ASSERT_NE(handle, nullptr);
  const Bytes before3 = model().area(3);
  const Bytes before4 = model().area(4);
  Bytes data = Pattern(3 * kArea, 4);
  camera_->SetFault(521, Fault{Kind::kWriteStatus, 0x0100, 1, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(),
                               static_cast<std::int32_t>(3 * kArea)),
            0);
  EXPECT_EQ(model().area(2), Bytes(data.begin(), data.begin() + kArea));
  EXPECT_EQ(model().area(3), before3);
  EXPECT_EQ(model().area(4), before4);
  const Codes sent = Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), 521), 2);
  EXPECT_EQ(sent.back(), 521) << "nothing follows the failing block";
}

TEST_F(FlashTest, OnlyAWholeZeroStatusWordCountsAsWritten) {
  const char* handle = Connect(36);
  ASSERT_NE(handle, nullptr);
  Bytes data = Pattern(100, 5);
  // Non-zero only in its high byte: still a failure.
  camera_->SetFault(521, Fault{Kind::kWriteStatus, 0x0100, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(), 100), 0);
  // A status too short for its word says nothing about the write.
  for (const std::int32_t size : {0, 1}) {
    camera_->SetFault(521, Fault{Kind::kStatusSize, size, 1});
    EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(), 100), 0) << size;
  }
  // A longer status does not fit its area and is refused.
  camera_->SetFault(521, Fault{Kind::kLongBody, 1, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(), 100), 0);
  // Exactly one word of zero is enough.
  camera_->SetFault(521, Fault{Kind::kStatusSize, 2, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_AREAS, data.data(), 100), 1);
  // The record rewrite judges its status the same way.
  Bytes record(kRecord);
  camera_->SetFault(521, Fault{Kind::kStatusSize, 1, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_RECORD, record.data(), 0), 0);
}

TEST_F(FlashTest, ReadingTheRecordCopiesAtMost372Bytes) {
  const char* handle = Connect(37);
  ASSERT_NE(handle, nullptr);
  const Bytes factory = model().area(7);
  Bytes buffer(400, 0xEE);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, buffer.data(), 0), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + kRecord), factory);
  const auto commands = camera_->commands();
  ASSERT_EQ(commands.size(), 4u);
  ExpectAddressed(commands, 0, 7, 0x10000);
  EXPECT_EQ(commands[3].code, 520);

  const Bytes large = Pattern(400, 6);
  model().SetArea(7, large);
  std::fill(buffer.begin(), buffer.end(), 0xEE);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, buffer.data(), 0), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + kRecord),
            Bytes(large.begin(), large.begin() + kRecord));
  EXPECT_EQ(Bytes(buffer.begin() + kRecord, buffer.end()), Bytes(28, 0xEE));

  // A shorter record fills only its own length.
  const Bytes small = Pattern(100, 7);
  model().SetArea(7, small);
  std::fill(buffer.begin(), buffer.end(), 0xEE);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, buffer.data(), 0), 1);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 100), small);
  EXPECT_EQ(Bytes(buffer.begin() + 100, buffer.end()), Bytes(300, 0xEE));

  // An empty record copies nothing and still succeeds.
  model().SetArea(7, {});
  std::fill(buffer.begin(), buffer.end(), 0xEE);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, buffer.data(), 0), 1);
  EXPECT_EQ(buffer, Bytes(400, 0xEE));

  // A reply longer than the record's region is refused whole.
  model().SetArea(7, factory);
  camera_->SetFault(520, Fault{Kind::kLongBody, 0x10000, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_RECORD, buffer.data(), 0), 0);
  EXPECT_EQ(buffer, Bytes(400, 0xEE));
}

TEST_F(FlashTest, RewritingTheRecordKeepsTheCamerasOwnWords) {
  const char* handle = Connect(38);
  ASSERT_NE(handle, nullptr);
  const Bytes current = model().area(7);
  // Different from the camera's record in every byte.
  Bytes mine(kRecord);
  std::transform(
      current.begin(), current.end(), mine.begin(),
      [](std::uint8_t byte) { return static_cast<std::uint8_t>(~byte); });
  const Bytes callerCopy = mine;

  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_RECORD, mine.data(), 0), 1);
  EXPECT_EQ(mine, callerCopy) << "the caller's record is not changed";
  Bytes expected = mine;
  std::copy(current.begin(), current.begin() + 8, expected.begin());
  std::copy(current.begin() + 164, current.begin() + 180,
            expected.begin() + 164);
  EXPECT_EQ(model().area(7), expected);

  // Read the current record, then address, prepare and write.
  const auto commands = camera_->commands();
  ASSERT_EQ(commands.size(), 10u);
  ExpectAddressed(commands, 0, 7, 0x10000);
  EXPECT_EQ(commands[3].code, 520);
  ExpectAddressed(commands, 4, 7, 0x10000);
  EXPECT_EQ(commands[7].code, 522);
  EXPECT_EQ(commands[8].code, 519);
  EXPECT_EQ(commands[8].payload, U32(kRecord));
  EXPECT_EQ(commands[9].code, 521);
  EXPECT_EQ(commands[9].payload, expected);
}

TEST_F(FlashTest, ARecordTooShortForTheKeptWordsIsNotRewritten) {
  const char* handle = Connect(39);
  ASSERT_NE(handle, nullptr);
  Bytes mine = Pattern(kRecord, 9);
  const Bytes shortRecord = Pattern(179, 10);
  model().SetArea(7, shortRecord);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_RECORD, mine.data(), 0), 0);
  EXPECT_EQ(model().area(7), shortRecord);
  EXPECT_EQ(Sent(), (Codes{516, 518, 519, 520}));

  // 180 bytes hold every kept word.
  const Bytes justEnough = Pattern(180, 11);
  model().SetArea(7, justEnough);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_RECORD, mine.data(), 0), 1);
  const Bytes stored = model().area(7);
  ASSERT_EQ(stored.size(), kRecord);
  EXPECT_TRUE(
      std::equal(justEnough.begin(), justEnough.begin() + 8, stored.begin()));
  EXPECT_TRUE(std::equal(justEnough.begin() + 164, justEnough.end(),
                         stored.begin() + 164));
  EXPECT_TRUE(
      std::equal(mine.begin() + 8, mine.begin() + 164, stored.begin() + 8));
  EXPECT_TRUE(std::equal(mine.begin() + 180, mine.end(), stored.begin() + 180));

  // A failed read of the current record writes nothing.
  camera_->ClearLog();
  camera_->SetFault(520, Fault{Kind::kAckStatus, 1, 1});
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_WRITE_RECORD, mine.data(), 0), 0);
  EXPECT_EQ(Sent(), (Codes{516, 518, 519, 520}));
}

TEST_F(FlashTest, AVideoConnectionCanUseTheFlashToo) {
  camera_ = &Serve(kBlock, 40);
  const char* handle =
      rvx_ConnectCameraNoDisplayA(LoopbackAddress(kBlock, 40).c_str(), 0, 0);
  ASSERT_NE(handle, nullptr);
  Bytes buffer(kArea);
  EXPECT_EQ(rvx_FlashOperation(handle, RVX_FLASH_READ_AREA, buffer.data(), 5), 1);
  EXPECT_EQ(buffer, model().area(5));
}

}  // namespace
}  // namespace quorvel::test

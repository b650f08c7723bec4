// The simulated camera without sockets: commands through the protocol,
// state read back from the model. Linked with camsim alone, so a camsim
// that used the library it tests would not link.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "command_protocol.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = camsim::Fault::Kind;

Bytes Words(std::initializer_list<std::int32_t> words) {
  Bytes bytes;
  for (const std::int32_t word : words) {
    for (int i = 0; i < 4; ++i) {
      bytes.push_back(static_cast<std::uint8_t>(
          static_cast<std::uint32_t>(word) >> (8 * i)));
    }
  }
  return bytes;
}

class CamsimTest : public ::testing::Test {
 protected:
  camsim::CameraModel model_;
  camsim::CommandProtocol protocol_{model_};
};

TEST_F(CamsimTest, CommandsChangeTheStateThatQueriesAndFramesShow) {
  EXPECT_EQ(protocol_.Handle(82, {}).bytes, Words({1296, 0}));
  EXPECT_EQ(model_.queryValue(81), 82);
  (void)protocol_.Handle(65537, Words({300}));
  EXPECT_EQ(protocol_.Handle(65538, {}).bytes, Words({1296, 0, 65538, 4, 300}));
  // 16-bit items answer two bytes.
  model_.SetInternalSps(0x1234);
  Bytes sps = Words({1296, 0, 66, 2});
  sps.insert(sps.end(), {0x34, 0x12});
  EXPECT_EQ(protocol_.Handle(66, {}).bytes, sps);

  (void)protocol_.Handle(48, {64, 0, 48, 0, 1, 0, 1, 0});
  EXPECT_EQ(model_.frame(0).body->size(), 64u * 48u);
  (void)protocol_.Handle(65570, {});
  const camsim::Frame mask = model_.frame(0);
  EXPECT_TRUE(mask.mask);
  EXPECT_EQ(*mask.body, camsim::EncodeRuns(camsim::RenderMask(64, 48, 0)));
  // The switch is the item: setting it directly switches the stream.
  model_.SetQueryValue(65569, 65571);
  EXPECT_FALSE(model_.frame(1).mask);
  EXPECT_EQ(protocol_.codes(),
            (std::vector<std::int32_t>{82, 65537, 65538, 66, 48, 65570}));
}

TEST_F(CamsimTest, RefusedOrUnansweredCommandsLeaveTheModelAlone) {
  protocol_.SetFault(1, {Kind::kAckStatus, 7, 1});
  EXPECT_EQ(protocol_.Handle(1, {}).bytes, Words({1296, 7}));
  EXPECT_FALSE(model_.streaming());
  protocol_.SetFault(1, {Kind::kNoAnswer, 0, 1});
  EXPECT_TRUE(protocol_.Handle(1, {}).bytes.empty());
  EXPECT_FALSE(model_.streaming());
  // Both faults are spent.
  (void)protocol_.Handle(1, {});
  EXPECT_TRUE(model_.streaming());

  // A write stores only when its reply is sent.
  (void)protocol_.Handle(516, {2, 0});
  const Bytes before = model_.area(2);
  protocol_.SetFault(521, {Kind::kStall, 0, 1});
  EXPECT_TRUE(protocol_.Handle(521, Bytes(10, 0x11)).stallAfter);
  EXPECT_EQ(model_.area(2), before);
  EXPECT_EQ(model_.flashWrites(), 0u);
}

TEST_F(CamsimTest, FlashWritesStopAtTheAreaEndAndRunTheHookUnlocked) {
  int hookRuns = 0;
  model_.SetFlashWriteHook([&] {
    ++hookRuns;
    EXPECT_EQ(model_.area(7).size(), camsim::kDeviceRecordSize);
  });
  EXPECT_TRUE(model_.WriteArea(7, 370, {1, 2}));
  EXPECT_FALSE(model_.WriteArea(7, 371, {1, 2}));
  EXPECT_FALSE(model_.WriteArea(8, 0, {1}));
  EXPECT_EQ(hookRuns, 1);
  EXPECT_EQ(model_.ReadArea(7, 369, 100),
            (Bytes{static_cast<std::uint8_t>(0xA0 + 369), 1, 2}));
  EXPECT_TRUE(model_.ReadArea(0, 0, 100).empty());

  // Through the protocol: refused with status 1, in a bulk reply.
  (void)protocol_.Handle(516, {7, 0});
  (void)protocol_.Handle(518, Words({372}));
  Bytes expected = Words({1296, 0, 1281, 0, 521, 4});
  expected.insert(expected.end(), {1, 0, 0, 0});
  EXPECT_EQ(protocol_.Handle(521, {9}).bytes, expected);
  EXPECT_EQ(hookRuns, 1);
}

TEST_F(CamsimTest, GreetingsAreRightUnlessAskedOtherwise) {
  protocol_.SetWrongGreetings(1);
  EXPECT_EQ(protocol_.NextGreeting(), Words({1296, 0}));
  EXPECT_EQ(protocol_.NextGreeting(), Words({1282, 0}));
  protocol_.SetSilentGreeting(true);
  EXPECT_TRUE(protocol_.NextGreeting().empty());
}

}  // namespace

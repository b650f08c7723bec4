// Camera registry: naming, lookup by handle text and the callback setters.
#include <gtest/gtest.h>

#include <string>

#include "app/camera_lib_app.h"
#include "quorvel/quorvel.h"

namespace quorvel {
namespace {

void RVX_CALL OnAlarm(const char*, uint8_t*, int32_t) {}
void RVX_CALL OnFrame(const char*, int32_t, int32_t) {}
void RVX_CALL OnObjects(const char*, int32_t, ObjectReport*, int32_t) {}

class RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { UnlinkAll(); }

  void UnlinkAll() {
    for (const CameraRef& record : registry_.Snapshot()) {
      (void)registry_.Unlink(record.get());
    }
  }

  // A record published the way a connect publishes its camera.
  CameraRef Add(std::uint32_t ipv4 = 0) {
    const Registry::Admission admission = registry_.Admit(ipv4);
    EXPECT_EQ(admission.kind, Registry::Admission::Kind::kProceed);
    admission.pending->record().ipAddress = ipv4;
    const char* name = registry_.Publish(*admission.pending);
    return registry_.Find(name);
  }

  Registry& registry_ = TheApp().registry();
};

TEST_F(RegistryTest, EmptyRegistryFindsNothingAndExportsFail) {
  EXPECT_EQ(registry_.count(), 0);
  EXPECT_EQ(registry_.Find("RVXOSTRL1[1]"), nullptr);
  EXPECT_EQ(registry_.Find(nullptr), nullptr);
  std::int32_t value = 77;
  double fps = 7.0;
  EXPECT_EQ(rvx_GetSmartMotion("RVXOSTRL1[1]", RVX_ITEM_MIN_OBJECT_SIZE, &value), 0);
  EXPECT_EQ(rvx_SetSmartMotion("RVXOSTRL1[1]", RVX_ITEM_MIN_OBJECT_SIZE, 1), 0);
  EXPECT_EQ(rvx_GetMiscOption("RVXOSTRL1[1]", RVX_OPTION_STEP_X, &value), 0);
  EXPECT_EQ(rvx_GetFPS("RVXOSTRL1[1]", RVX_FPS_RECEIVED, &fps), 0);
  EXPECT_EQ(rvx_FlashOperation("RVXOSTRL1[1]", RVX_FLASH_NOTHING,
                               reinterpret_cast<uint8_t*>(&value), 0),
            0);
  EXPECT_EQ(value, 77);
  EXPECT_EQ(fps, 7.0);
  rvx_SetCallbackAlarmSignal("RVXOSTRL1[1]", 1, OnAlarm);
  rvx_DisconnectCamera("RVXOSTRL1[1]");
  rvx_DisconnectAllCameras();
  EXPECT_EQ(registry_.count(), 0);
}

TEST_F(RegistryTest, NamesCountUpAndStayDistinctAfterGaps) {
  const CameraRef first = Add(1), second = Add(2), third = Add(3);
  EXPECT_STREQ(first->name, "RVXOSTRL1[1]");
  EXPECT_STREQ(second->name, "RVXOSTRL1[2]");
  EXPECT_STREQ(third->name, "RVXOSTRL1[3]");
  // The newest goes: its number comes back.
  ASSERT_TRUE(registry_.Unlink(third.get()));
  EXPECT_STREQ(Add(4)->name, "RVXOSTRL1[3]");
  // An older one goes: count + 1 is taken, so the next free number is used.
  ASSERT_TRUE(registry_.Unlink(first.get()));
  EXPECT_STREQ(Add(5)->name, "RVXOSTRL1[4]");
  EXPECT_FALSE(registry_.Unlink(first.get()));
  UnlinkAll();
  EXPECT_STREQ(Add(6)->name, "RVXOSTRL1[1]");
}

TEST_F(RegistryTest, LookupComparesTheWholeTextExactly) {
  const CameraRef first = Add(10), second = Add(11);
  EXPECT_EQ(registry_.Find(first->name), first);
  // A separate copy of the text designates the same camera.
  const std::string copy = "RVXOSTRL1[2]";
  EXPECT_EQ(registry_.Find(copy.c_str()), second);
  EXPECT_EQ(registry_.Find("rvxostrl1[2]"), nullptr);
  EXPECT_EQ(registry_.Find("RVXOSTRL1[2] "), nullptr);
  EXPECT_EQ(registry_.Find("RVXOSTRL1[2"), nullptr);
  EXPECT_EQ(registry_.Find(""), nullptr);
  // An address already linked admits no second connect.
  EXPECT_EQ(registry_.Admit(11).handle, second->name);
}

TEST_F(RegistryTest, RecordsOutliveTheirUnlinking) {
  CameraRef held = Add(20);
  const char* handle = held->name;
  ASSERT_TRUE(registry_.Unlink(held.get()));
  // A user that still holds the record reads valid memory; the text no
  // longer designates a camera.
  EXPECT_STREQ(handle, "RVXOSTRL1[1]");
  EXPECT_EQ(registry_.Find(handle), nullptr);
}

TEST_F(RegistryTest, CallbackSettersReachEveryRecordOfThatName) {
  const CameraRef first = Add(30), second = Add(31);
  // Two records of one name can only come about by hand; the setters must
  // still reach both.
  second->name = first->name;
  rvx_SetCallbackAlarmSignal("RVXOSTRL1[1]", 5, OnAlarm);
  rvx_SetCallbackReceivedOneFrame("RVXOSTRL1[1]", 6, OnFrame);
  rvx_SetCallbackDetectObjectsReport("RVXOSTRL1[1]", 7, OnObjects);
  for (const CameraRef& record : {first, second}) {
    EXPECT_EQ(record->alarmCallback.load(), &OnAlarm);
    EXPECT_EQ(record->alarmUser.load(), 5);
    EXPECT_EQ(record->frameCallback.load(), &OnFrame);
    EXPECT_EQ(record->frameUser.load(), 6);
    EXPECT_EQ(record->objectsCallback.load(), &OnObjects);
    EXPECT_EQ(record->objectsUser.load(), 7);
  }
  // No match and a null handle change nothing; a null callback removes.
  rvx_SetCallbackAlarmSignal("RVXOSTRL1[9]", 9, nullptr);
  rvx_SetCallbackAlarmSignal(nullptr, 9, nullptr);
  EXPECT_EQ(first->alarmUser.load(), 5);
  rvx_SetCallbackAlarmSignal("RVXOSTRL1[1]", 0, nullptr);
  EXPECT_EQ(first->alarmCallback.load(), nullptr);
  EXPECT_EQ(second->alarmCallback.load(), nullptr);
}

TEST_F(RegistryTest, DisconnectAllEmptiesTheRegistry) {
  const CameraRef connected = Add(40);
  connected->connected.store(1);
  Add(41);  // published but not marked connected
  rvx_DisconnectAllCameras();
  EXPECT_EQ(registry_.count(), 0);
  EXPECT_EQ(connected->connected.load(), 0);
}

}  // namespace
}  // namespace quorvel

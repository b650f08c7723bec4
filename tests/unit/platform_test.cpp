// The platform layer: events, text conversion and address parsing.
#include <gtest/gtest.h>

#include <thread>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/socket.h"
#include "platform/text.h"
#include "platform/wakeup.h"

namespace quorvel::platform {
namespace {

TEST(EventTest, AutoResetReleasesOneWaitAndTimesOut) {
  Event event(Event::Reset::kAuto);
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0)) << "an auto-reset event must be consumed";
  const std::uint32_t start = TickCount();
  EXPECT_FALSE(event.Wait(100));
  EXPECT_GE(TickCount() - start, 95u);
  event.Set();
  event.Clear();
  EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, ManualResetStaysSignalledAndWakesAWaiter) {
  Event event(Event::Reset::kManual);
  std::thread setter([&] {
    SleepMs(50);
    event.Set();
  });
  EXPECT_TRUE(event.Wait(kWaitForever));
  EXPECT_TRUE(event.Wait(0));
  setter.join();
}

TEST(WakeupTest, WakeupWinsOverAnIdleSocket) {
  Wakeup wakeup;
  ASSERT_TRUE(wakeup.valid());
  std::thread signaller([&] {
    SleepMs(20);
    wakeup.Signal();
  });
  EXPECT_EQ(wakeup.WaitReadable(Socket()), Wakeup::Readiness::kWoken);
  signaller.join();
  // It stays raised.
  EXPECT_EQ(wakeup.WaitReadable(Socket()), Wakeup::Readiness::kWoken);
}

TEST(TextTest, AddressesNarrowOneBytePerCharacter) {
  EXPECT_EQ(NarrowAddress(L"127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(NarrowAddress(nullptr), "");
  EXPECT_EQ(NarrowAddress(L"\x141"
                          L"1"),
            std::string("\x41"
                        "1"));
  EXPECT_EQ(WidenText(nullptr), L"");
  EXPECT_EQ(WidenText("pic.raw"), L"pic.raw");
  // Bytes that the locale cannot read are kept one to one, and go back to
  // the same bytes as a file name.
  const std::wstring wide = WidenText(
      "a\xff"
      "b");
  EXPECT_EQ(wide, std::wstring(L"a\xff"
                               L"b"));
  EXPECT_EQ(FileSystemName(wide),
            "a\xff"
            "b");
}

TEST(SocketTest, DottedAddressesParseAndOthersDoNot) {
  std::uint32_t ipv4 = 0;
  ASSERT_TRUE(ParseIPv4("127.0.0.2", &ipv4));
  EXPECT_EQ(ipv4, 0x0200007Fu);  // network byte order in memory
  EXPECT_FALSE(ParseIPv4("", &ipv4));
  EXPECT_FALSE(ParseIPv4("not an address", &ipv4));
  EXPECT_FALSE(ParseIPv4(nullptr, &ipv4));
  ASSERT_TRUE(ResolveIPv4("localhost", &ipv4));
  EXPECT_EQ(ipv4 & 0xFFu, 127u);
  // Nothing listens here: connecting fails instead of hanging.
  ASSERT_TRUE(ParseIPv4("127.0.1.250", &ipv4));
  EXPECT_FALSE(Socket::ConnectTcp(ipv4, 3002).valid());
}

}  // namespace
}  // namespace quorvel::platform

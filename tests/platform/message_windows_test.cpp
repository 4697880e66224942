#include <gtest/gtest.h>
#include <orvex/platform.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

namespace {

struct Received {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

bool Get(OrvexWindow window, int32_t timeoutMs, Received& out) {
  return OrvexPlatform_GetMessage(window, timeoutMs, &out.message, &out.wParam, &out.lParam) == 1;
}

TEST(MessageWindowTest, DeliversPostedMessagesInOrderOnce) {
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  ASSERT_NE(window, OrvexWindow{});
  EXPECT_EQ(OrvexPlatform_PostMessage(window, 32771, 0, 9), 1);
  EXPECT_EQ(OrvexPlatform_PostMessage(window, 32770, 7, -13), 1);
  EXPECT_EQ(OrvexPlatform_PostMessage(window, 32770, UINTPTR_MAX, INTPTR_MIN), 1);

  Received r;
  ASSERT_TRUE(Get(window, 0, r));
  EXPECT_EQ(r.message, 32771u);
  EXPECT_EQ(r.wParam, 0u);
  EXPECT_EQ(r.lParam, 9);
  ASSERT_TRUE(Get(window, 0, r));
  EXPECT_EQ(r.message, 32770u);
  EXPECT_EQ(r.wParam, 7u);
  EXPECT_EQ(r.lParam, -13);
  // Null pointers still take the message off the queue.
  EXPECT_EQ(OrvexPlatform_GetMessage(window, 0, nullptr, nullptr, nullptr), 1);
  EXPECT_FALSE(Get(window, 0, r));
  EXPECT_EQ(OrvexPlatform_DestroyWindow(window), 1);
}

TEST(MessageWindowTest, WindowsKeepSeparateQueues) {
  const OrvexWindow a = OrvexPlatform_CreateMessageWindow();
  const OrvexWindow b = OrvexPlatform_CreateMessageWindow();
  ASSERT_NE(a, b);
  ASSERT_EQ(OrvexPlatform_PostMessage(a, 32770, 0, 0), 1);
  Received r;
  EXPECT_FALSE(Get(b, 0, r));
  EXPECT_TRUE(Get(a, 0, r));
  OrvexPlatform_DestroyWindow(a);
  OrvexPlatform_DestroyWindow(b);
}

TEST(MessageWindowTest, UnknownAndDestroyedWindowsAreRefused) {
  Received r;
  EXPECT_EQ(OrvexPlatform_PostMessage(0, 1, 0, 0), 0);
  EXPECT_FALSE(Get(0, 0, r));
  EXPECT_EQ(OrvexPlatform_DestroyWindow(0), 0);
  // An X-like id.
  EXPECT_EQ(
      OrvexPlatform_PostMessage(reinterpret_cast<OrvexWindow>(std::uintptr_t{0x1234}), 1, 0, 0), 0);

  // (An application's message: Windows refuses to post some of its own, such as 1.)
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  ASSERT_EQ(OrvexPlatform_PostMessage(window, 32770, 0, 0), 1);
  EXPECT_EQ(OrvexPlatform_DestroyWindow(window), 1);
  EXPECT_EQ(OrvexPlatform_DestroyWindow(window), 0);
  EXPECT_EQ(OrvexPlatform_PostMessage(window, 32770, 0, 0), 0);
  // The queued message went with the window, and a forever wait on it returns at once.
  EXPECT_FALSE(Get(window, -1, r));
}

TEST(MessageWindowTest, HandlesAreNeverReusedAndStayClearOfXIds) {
  std::set<OrvexWindow> seen;
  for (int i = 0; i < 100; ++i) {
    const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
    ASSERT_NE(window, OrvexWindow{});
#if !defined(_WIN32)
    // X resource ids have their top three bits clear.
    EXPECT_GE(window, OrvexWindow{1} << 29);
#endif
    EXPECT_TRUE(seen.insert(window).second);
    OrvexPlatform_DestroyWindow(window);
  }
}

TEST(MessageWindowTest, TimedWaitWithoutMessageReturnsAfterTimeout) {
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  const auto start = std::chrono::steady_clock::now();
  Received r;
  EXPECT_FALSE(Get(window, 20, r));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  OrvexPlatform_DestroyWindow(window);
}

TEST(MessageWindowTest, ForeverWaitReceivesMessageFromAnotherThread) {
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  std::thread poster([window] { OrvexPlatform_PostMessage(window, 32770, 0, 42); });
  Received r;
  EXPECT_TRUE(Get(window, -1, r));
  EXPECT_EQ(r.lParam, 42);
  poster.join();
  OrvexPlatform_DestroyWindow(window);
}

TEST(MessageWindowTest, DestroyWakesWaitingReader) {
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  std::vector<std::thread> readers;
  std::vector<int32_t> results(3, -1);
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([window, &results, i] {
      results[i] = OrvexPlatform_GetMessage(window, -1, nullptr, nullptr, nullptr);
    });
  }
  // Whether a reader is already waiting or arrives after the window is gone, it returns 0.
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(OrvexPlatform_DestroyWindow(window), 1);
  for (auto& reader : readers) reader.join();
  for (int32_t result : results) EXPECT_EQ(result, 0);
}

TEST(MessageWindowTest, ConcurrentPostersKeepTheirOwnOrder) {
  constexpr int kPosters = 4;
  constexpr int kEach = 2000;
  const OrvexWindow window = OrvexPlatform_CreateMessageWindow();
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([window, p] {
      for (int i = 0; i < kEach; ++i) {
        ASSERT_EQ(OrvexPlatform_PostMessage(window, 32770, static_cast<uintptr_t>(p), i), 1);
      }
    });
  }
  std::vector<intptr_t> next(kPosters, 0);
  for (int n = 0; n < kPosters * kEach; ++n) {
    Received r;
    ASSERT_TRUE(Get(window, -1, r));
    ASSERT_LT(r.wParam, static_cast<uintptr_t>(kPosters));
    EXPECT_EQ(r.lParam, next[r.wParam]++);
  }
  for (auto& poster : posters) poster.join();
  Received r;
  EXPECT_FALSE(Get(window, 0, r));
  OrvexPlatform_DestroyWindow(window);
}

}  // namespace

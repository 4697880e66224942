#include "core/last_error_queue.h"

#include <gtest/gtest.h>

#include <thread>

namespace orvex {
namespace {

TEST(LastErrorQueue, NewestComesOutFirst) {
  LastErrorQueue queue;
  EXPECT_EQ(queue.Take(), 0);
  queue.Push(9);
  queue.Push(2);
  EXPECT_EQ(queue.Take(), 2);
  EXPECT_EQ(queue.Take(), 9);
  EXPECT_EQ(queue.Take(), 0);
}

TEST(LastErrorQueue, KeepsTheNewestTwenty) {
  LastErrorQueue queue;
  for (int code = 1; code <= 21; ++code) queue.Push(code);
  for (int code = 21; code >= 2; --code) EXPECT_EQ(queue.Take(), code);
  EXPECT_EQ(queue.Take(), 0);
}

TEST(LastErrorQueue, PushAndTakeFromTwoThreads) {
  LastErrorQueue queue;
  std::thread producer([&] {
    for (int i = 0; i < 2000; ++i) queue.Push(8);
  });
  int taken = 0;
  for (int i = 0; i < 2000; ++i) {
    const int code = queue.Take();
    EXPECT_TRUE(code == 0 || code == 8);
    taken += code == 8;
  }
  producer.join();
  while (queue.Take() == 8) ++taken;
  EXPECT_LE(taken, 2000);
}

}  // namespace
}  // namespace orvex

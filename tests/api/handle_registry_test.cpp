#include "api/handle_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/call_gate.h"

namespace orvex {
namespace {

// The registry looks into a context only to count a call in (EnterContext), so the tests of its
// list can register made-up addresses.
CameraContext* Fake(std::uintptr_t n) {
  return reinterpret_cast<CameraContext*>(n * 16);
}

TEST(HandleRegistry, EmptyRegistryFindsNothingAndRemovesNothing) {
  HandleRegistry registry;
  EXPECT_EQ(registry.FindContext(1), nullptr);
  EXPECT_EQ(registry.RemoveHead(), 0);
  EXPECT_EQ(registry.Head(), nullptr);
  EXPECT_EQ(registry.Count(), 0);
}

TEST(HandleRegistry, NewestIsHeadAndLookupMovesHead) {
  HandleRegistry registry;
  ASSERT_TRUE(registry.AddContext(100, Fake(1)));  // A
  ASSERT_TRUE(registry.AddContext(200, Fake(2)));  // B
  EXPECT_EQ(registry.Head()->handle, 200);
  EXPECT_EQ(registry.Count(), 2);

  EXPECT_EQ(registry.FindContext(100), Fake(1));
  EXPECT_EQ(registry.Head()->handle, 100);
  // Repeated calls hit at once.
  EXPECT_EQ(registry.FindContext(100), Fake(1));
  EXPECT_EQ(registry.Head()->handle, 100);
}

TEST(HandleRegistry, MissLeavesHeadOnTheOldTail) {
  HandleRegistry registry;
  registry.AddContext(1, Fake(1));
  registry.AddContext(2, Fake(2));
  registry.AddContext(3, Fake(3));  // from head: 3, 2, 1; the tail (prev of head) is 1
  ASSERT_EQ(registry.Head()->prev->handle, 1);
  EXPECT_EQ(registry.FindContext(99), nullptr);
  EXPECT_EQ(registry.Head()->handle, 1);
  // From head 1 the tail is now 2: the next miss walks on to it.
  EXPECT_EQ(registry.FindContext(98), nullptr);
  EXPECT_EQ(registry.Head()->handle, 2);
}

TEST(HandleRegistry, CircleStaysLinkedThroughAddsAndRemovals) {
  HandleRegistry registry;
  for (int h = 1; h <= 5; ++h) registry.AddContext(h, Fake(h));
  registry.FindContext(3);
  ASSERT_EQ(registry.RemoveHead(), 1);  // removes 3; its next becomes head
  EXPECT_EQ(registry.Count(), 4);
  EXPECT_EQ(registry.Head()->handle, 2);  // the circle runs newest to oldest: 5, 4, 3, 2, 1
  RegistryNode* node = registry.Head();
  for (int i = 0; i < registry.Count(); ++i) {
    EXPECT_EQ(node->next->prev, node);
    EXPECT_NE(node->handle, 3);
    node = node->next;
  }
  EXPECT_EQ(node, registry.Head());
  EXPECT_EQ(registry.FindContext(3), nullptr);
  for (int h : {1, 2, 4, 5}) EXPECT_EQ(registry.FindContext(h), Fake(h));
}

TEST(HandleRegistry, RemovingTheOnlyNodeEmptiesIt) {
  HandleRegistry registry;
  registry.AddContext(7, Fake(7));
  ASSERT_EQ(registry.RemoveHead(), 1);
  EXPECT_EQ(registry.Head(), nullptr);
  EXPECT_EQ(registry.Count(), 0);
}

TEST(HandleRegistry, DuplicateValuesFindTheFirstFromHead) {
  HandleRegistry registry;
  registry.AddContext(5, Fake(1));
  registry.AddContext(5, Fake(2));  // head
  EXPECT_EQ(registry.FindContext(5), Fake(2));
  registry.RemoveHead();
  EXPECT_EQ(registry.FindContext(5), Fake(1));
}

TEST(HandleRegistry, ClearFreesEveryNode) {
  HandleRegistry registry;
  for (int h = 0; h < 10; ++h) registry.AddContext(h, Fake(h + 1));
  registry.ClearRegistry();
  EXPECT_EQ(registry.Count(), 0);
  EXPECT_EQ(registry.Head(), nullptr);
}

TEST(HandleRegistry, TakeContextRemovesTheFirstMatchAndLeavesItsNextAsHead) {
  HandleRegistry registry;
  registry.AddContext(1, Fake(1));
  registry.AddContext(2, Fake(2));
  registry.AddContext(2, Fake(3));  // head; the same value as the node before it
  EXPECT_EQ(registry.TakeContext(9), nullptr);
  EXPECT_EQ(registry.Count(), 3);
  EXPECT_EQ(registry.Head()->handle, 1);  // a miss moves the head like a lookup

  // From head 1 the walk wraps round to the newest node first; its next becomes the head.
  EXPECT_EQ(registry.TakeContext(2), Fake(3));
  EXPECT_EQ(registry.Count(), 2);
  EXPECT_EQ(registry.Head()->handle, 2);
  EXPECT_EQ(registry.FindContext(2), Fake(2));
  EXPECT_EQ(registry.TakeContext(2), Fake(2));
  EXPECT_EQ(registry.TakeContext(1), Fake(1));
  EXPECT_EQ(registry.Head(), nullptr);
  EXPECT_EQ(registry.TakeContext(1), nullptr);
}

TEST(HandleRegistry, AddAtFreeHandleSkipsValuesInUseAndZeroAndKeepsTheHead) {
  HandleRegistry registry;
  registry.AddContext(5, Fake(1));
  registry.AddContext(6, Fake(2));
  registry.AddContext(0, Fake(3));
  registry.AddContext(-1, Fake(4));
  registry.AddContext(1, Fake(5));  // head
  struct Case {
    std::int32_t asked, given;
  };
  for (const Case c : {Case{7, 7}, Case{5, 8}, Case{-1, 2}, Case{0, 3}}) {
    const std::int32_t headBefore = registry.Head()->handle;
    std::int32_t handle = c.asked;
    ASSERT_TRUE(registry.AddContextAtFreeHandle(&handle, Fake(100 + c.asked)));
    EXPECT_EQ(handle, c.given) << c.asked;
    // Linked as AddContext links: the new node is the head, the old head its next.
    EXPECT_EQ(registry.Head()->handle, c.given);
    EXPECT_EQ(registry.Head()->next->handle, headBefore);
    EXPECT_EQ(registry.FindContext(c.given), Fake(100 + c.asked));
  }
  EXPECT_EQ(registry.Count(), 9);
}

// One thread per handle, as an application with one thread per camera: every lookup finds its
// own context, and every handle comes out exactly once.
TEST(HandleRegistry, ThreadsWithTheirOwnHandlesNeverSeeEachOthersNodes) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  HandleRegistry registry;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        const std::int32_t handle = t * kRounds + round + 1;
        if (!registry.AddContext(handle, Fake(handle))) ++wrong;
        for (int i = 0; i < 3; ++i) {
          if (registry.FindContext(handle) != Fake(handle)) ++wrong;
        }
        if (registry.TakeContext(handle) != Fake(handle)) ++wrong;
        if (registry.FindContext(handle) != nullptr) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(registry.Count(), 0);
  EXPECT_EQ(registry.Head(), nullptr);
}

}  // namespace
}  // namespace orvex

namespace orvex {
namespace {

// The count behind Orvex_Release: a release waits for the calls of other threads, and one made
// from within a call of its own thread leaves the freeing to that call.
TEST(CallGateTest, RetireWaitsForOtherThreadsAndLeavesOwnCallsTheLastWord) {
  CallGate gate;
  gate.Enter();
  std::atomic<bool> left{false};
  std::thread caller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    left = true;
    EXPECT_FALSE(gate.Leave());
  });
  EXPECT_TRUE(gate.Retire(0));
  EXPECT_TRUE(left);
  caller.join();

  CallGate nested;
  nested.Enter();  // the call of this thread that the release runs within
  EXPECT_FALSE(nested.Retire(1));
  EXPECT_TRUE(nested.Leave());  // the last call out frees the object
}

}  // namespace
}  // namespace orvex

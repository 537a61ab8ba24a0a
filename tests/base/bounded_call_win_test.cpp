#include "base/bounded_call_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace qx {
namespace {

using Clock = std::chrono::steady_clock;

TEST(RunWithin, GivesUpOnAHangingCallAtItsBoundAndCapsWhatIsLeftRunning) {
  auto result = std::make_shared<std::atomic<int>>(0);
  EXPECT_TRUE(RunWithin(60000, [result] { *result = 7; }));
  EXPECT_EQ(*result, 7);

  // Calls that hang until released: each is given up at its bound (far below
  // the hang), and past the cap nothing more is started.
  auto release = std::make_shared<std::promise<void>>();
  std::shared_future<void> released = release->get_future().share();
  auto started = std::make_shared<std::atomic<int>>(0);
  const auto hang = [=] {
    ++*started;
    released.wait();
  };
  for (int i = 0; i < kMaxCallsLeftRunning; ++i) {
    const auto asked = Clock::now();
    EXPECT_FALSE(RunWithin(50, hang));
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(20));
  }
  EXPECT_FALSE(RunWithin(60000, [result] { *result = 8; }));
  EXPECT_EQ(*result, 7);  // not started
  EXPECT_EQ(*started, kMaxCallsLeftRunning);

  // Released, the abandoned calls end on their own and free their places.
  release->set_value();
  const auto until = Clock::now() + std::chrono::seconds(30);
  while (!RunWithin(60000, [result] { *result = 9; }) && Clock::now() < until)
    std::this_thread::yield();
  EXPECT_EQ(*result, 9);
}

}  // namespace
}  // namespace qx

#include "platform/ui_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace ferry {
namespace {

TEST(UiTask, SendRunsTheWorkOnTheMainThreadAndWaitsForIt) {
  UiTaskWindow ui;
  const DWORD main = GetCurrentThreadId();
  std::atomic<bool> finished{false};
  std::vector<DWORD> ran_on;
  int order_checks = 0;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      int value = -1;
      ui.Send([&] {
        ran_on.push_back(GetCurrentThreadId());
        value = i;
      });
      // Synchronous: the work is done when Send returns.
      if (value == i) ++order_checks;
    }
    finished = true;
  });
  ui.PumpUntil([&] { return finished.load(); });
  worker.join();
  EXPECT_EQ(order_checks, 200);
  ASSERT_EQ(ran_on.size(), 200u);
  for (DWORD id : ran_on) EXPECT_EQ(id, main);
}

TEST(UiTask, AnErrorInTheWorkReachesTheSender) {
  UiTaskWindow ui;
  std::atomic<bool> finished{false};
  std::string caught;
  std::thread worker([&] {
    try {
      ui.Send([] { throw std::runtime_error("control gone"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    finished = true;
  });
  ui.PumpUntil([&] { return finished.load(); });
  worker.join();
  EXPECT_EQ(caught, "control gone");
}

TEST(UiTask, OnTheMainThreadTheWorkRunsAtOnce) {
  UiTaskWindow ui;
  bool ran = false;
  ui.Send([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(ui.OnMainThread());
  EXPECT_NE(ui.Handle(), nullptr);
}

}  // namespace
}  // namespace ferry

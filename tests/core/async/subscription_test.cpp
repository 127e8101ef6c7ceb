#include "core/async/subscription.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quillon {
namespace {

TEST(ObserverList, ADroppedSubscriptionNeverRunsAgain) {
  ObserverList<int> list;
  std::string calls;
  auto a = list.subscribe([&](int v) { calls += "a" + std::to_string(v); });
  {
    auto b = list.subscribe([&](int v) { calls += "b" + std::to_string(v); });
    list.notify(1);
  }
  list.notify(2);
  a.reset();
  list.notify(3);
  EXPECT_EQ(calls, "a1b1a2");
  EXPECT_TRUE(list.empty());
}

// The handler removed by an earlier one in the same notification must not run, and a
// handler removing itself keeps running safely to its end.
TEST(ObserverList, RemovalDuringANotificationTakesEffectAtOnce) {
  ObserverList<> list;
  std::string calls;
  Subscription second;
  Subscription first = list.subscribe([&] {
    calls += "1";
    second.reset();
    first.reset();
    calls += "!";  // still inside the handler that was just removed
  });
  second = list.subscribe([&] { calls += "2"; });
  Subscription added;
  Subscription third = list.subscribe([&] {
    calls += "3";
    if (!added) added = list.subscribe([&] { calls += "4"; });
  });
  list.notify();
  list.notify();
  EXPECT_EQ(calls, "1!334") << "a handler added during a notification waits for the next one";
}

TEST(ObserverList, TheListMayDieInsideItsOwnNotificationAndSubscriptionsOutliveIt) {
  auto list = std::make_unique<ObserverList<>>();
  int calls = 0;
  auto killer = list->subscribe([&] {
    list.reset();
    ++calls;
  });
  auto after = list->subscribe([&] { ++calls; });
  list->notify();
  EXPECT_EQ(calls, 2);
  killer.reset();  // the list is gone; removal is a no-op
  after.reset();
}

}  // namespace
}  // namespace quillon

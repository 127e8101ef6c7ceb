#include "core/switching/launch_switch_session.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

using Phase = LaunchSwitchSession::Phase;

struct SessionTest : ::testing::Test {
  Uuid a = Uuid::random(), b = Uuid::random(), c = Uuid::random();
  LaunchSwitchSession session;
  Uuid activeOn(const Uuid& current) {
    const auto token = session.begin(current, {a, b, c});
    EXPECT_TRUE(token && session.activate(*token));
    return *token;
  }
};

TEST_F(SessionTest, BeginRefusesAnUnlistedCurrentAppAndDuplicates) {
  EXPECT_FALSE(session.begin(Uuid::random(), {a, b}));
  EXPECT_FALSE(session.begin(a, {a, b, a}));
  EXPECT_EQ(session.phase(), Phase::idle);
  const auto token = session.begin(a, {a, b});
  ASSERT_TRUE(token);
  EXPECT_FALSE(session.begin(b, {a, b})) << "one gesture at a time";
  EXPECT_FALSE(session.activate(Uuid::random()));
  EXPECT_FALSE(session.advance(1)) << "no stepping before the carousel is shown";
  EXPECT_TRUE(session.activate(*token));
  EXPECT_FALSE(session.activate(*token));
}

TEST_F(SessionTest, StepsWrapBothWays) {
  activeOn(a);
  const struct {
    std::int64_t steps;
    Uuid* expected;
  } rows[] = {{-1, &c}, {1, &a}, {4, &b}, {-7, &a}, {0, &a}, {INT64_MIN, &b}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.steps);
    EXPECT_EQ(session.advance(row.steps), *row.expected);
  }
}

TEST_F(SessionTest, OnlyAReleaseInsideOnAnotherAppCommitsAndACommitIgnoresCancel) {
  activeOn(a);
  EXPECT_FALSE(session.release(true)) << "released on the original app";
  EXPECT_EQ(session.phase(), Phase::idle);
  activeOn(a);
  session.advance(1);
  EXPECT_FALSE(session.release(false)) << "released outside the notch";
  EXPECT_EQ(session.phase(), Phase::idle);

  const auto gesture = activeOn(a);
  session.advance(2);
  EXPECT_EQ(session.release(true), c);
  EXPECT_EQ(session.phase(), Phase::committing);
  EXPECT_NE(session.token(), gesture) << "the commit has a token of its own";
  session.cancel();
  EXPECT_FALSE(session.release(true));
  EXPECT_EQ(session.phase(), Phase::committing);
  session.finishCommit();
  EXPECT_EQ(session.phase(), Phase::idle);
  EXPECT_FALSE(session.selectedID());
}

}  // namespace
}  // namespace quillon

#include "desktop/qt_status_menu_host.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "qt_spin.h"
#include "support/fake_log_sink.h"

namespace quillon {
namespace {

MenuItem item(std::string title, bool enabled = true, bool checked = false, std::string toolTip = {}) {
  MenuItem result;
  result.title = std::move(title);
  result.enabled = enabled;
  result.checked = checked;
  result.toolTip = std::move(toolTip);
  return result;
}

TEST(QtStatusMenuHost, MenuShowsTheModelItWasLastGiven) {
  FakeLogSink log;
  QtStatusMenuHost host(log);
  MenuItem earlier = item("一");
  earlier.kind = MenuItem::Kind::submenu;
  earlier.submenu = {item("A")};
  host.setMenu({{earlier, item("二"), item("三"), item("四"), item("五")}});
  int chosen = 0;
  MenuItem app = item("オーロラ", true, true, "オーロラ\ncom.example.aurora\n/Applications/Aurora.app");
  app.action = [&] { ++chosen; };
  MenuItem status = item("切り替え中…");
  status.kind = MenuItem::Kind::label;
  MenuItem remove = item("登録を解除", false);
  remove.kind = MenuItem::Kind::submenu;
  remove.submenu = {item("オーロラ（現在のアプリ）", false)};
  host.setMenu({{app, status, MenuItem::separator(), remove}});

  const auto actions = host.menu()->actions();
  ASSERT_EQ(actions.size(), 4);
  EXPECT_EQ(actions[0]->text().toStdString(), "オーロラ");
  EXPECT_TRUE(actions[0]->isEnabled());
  EXPECT_TRUE(actions[0]->isChecked());
  EXPECT_EQ(actions[0]->toolTip().toStdString(), app.toolTip);
  EXPECT_EQ(actions[0]->menu(), nullptr) << "left from the earlier model";
  EXPECT_FALSE(actions[1]->isEnabled()) << "a label is never enabled";
  EXPECT_FALSE(actions[1]->isCheckable());
  EXPECT_TRUE(actions[2]->isSeparator());
  ASSERT_NE(actions[3]->menu(), nullptr);
  EXPECT_FALSE(actions[3]->isEnabled());
  ASSERT_EQ(actions[3]->menu()->actions().size(), 1);
  EXPECT_EQ(actions[3]->menu()->actions()[0]->text().toStdString(), "オーロラ（現在のアプリ）");

  actions[0]->trigger();
  EXPECT_EQ(chosen, 1);
}

TEST(QtStatusMenuHost, OpenAndCloseAreReportedAndMissingTrayIsLoggedOnce) {
  FakeLogSink log;
  QtStatusMenuHost host(log);
  // The offscreen platform has no tray.
  EXPECT_FALSE(host.isAvailable());
  ASSERT_EQ(log.lines().size(), 1U);
  EXPECT_EQ(log.lines()[0], "[Quillon/startup] no system tray on this desktop; the status menu cannot be shown");
  int opened = 0;
  int closed = 0;
  host.setOpenHandler([&] { ++opened; });
  host.setCloseHandler([&] { ++closed; });
  host.setMenu({{item("終了")}});
  host.menu()->popup(QPoint(10, 10));
  host.menu()->hide();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(closed, 0) << "reported from the loop, after a chosen item's action";
  EXPECT_TRUE(spinUntil([&] { return closed == 1; }));
}

}  // namespace
}  // namespace quillon

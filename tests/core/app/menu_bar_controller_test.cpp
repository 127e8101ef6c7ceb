#include "core/app/menu_bar_controller.h"

#include <gtest/gtest.h>

#include "support/fake_status_menu_host.h"

namespace quillon {
namespace {

TEST(MenuBarController, CallsTheSlotsFilledLaterAndRebuildsAnOpenMenuOnlyWhenItCloses) {
  FakeStatusMenuHost host;
  MenuBarController menu(host);
  EXPECT_TRUE(host.choose({"Quillonについて…"})) << "an empty slot does nothing";
  int about = 0;
  int quit = 0;
  menu.onShowAbout = [&] { ++about; };
  menu.onQuit = [&] { ++quit; };
  EXPECT_TRUE(host.choose({"Quillonについて…"}));
  EXPECT_TRUE(host.choose({"終了"}));
  EXPECT_EQ(1, about);
  EXPECT_EQ(1, quit);

  host.open();
  menu.rebuildMenu();
  EXPECT_EQ(1u, host.models().size());
  host.close();
  EXPECT_EQ(2u, host.models().size());
}

}  // namespace
}  // namespace quillon

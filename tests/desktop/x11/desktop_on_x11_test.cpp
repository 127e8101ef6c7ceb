#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRect>
#include <QThread>

#include "../qt_spin.h"
#include "core/async/clock.h"
#include "desktop/qt_main_loop.h"
#include "desktop/qt_status_menu_host.h"
#include "linux/x11_connection.h"
#include "support/fake_log_sink.h"

namespace quillon {
namespace {

TEST(DesktopOnX11, XEventsArriveOnTheMainThreadThroughTheQtLoop) {
  SystemClock clock;
  QtMainLoop loop(clock);
  auto adapters = X11Connection::open();
  auto other = X11Connection::open();
  ASSERT_TRUE(adapters && other);
  adapters->attach(loop);
  const xcb_atom_t property = adapters->atom("QUILLON_TEST_PROPERTY");
  bool seen = false;
  bool onMain = false;
  const auto subscription = adapters->subscribe([&](const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    if (reinterpret_cast<const xcb_property_notify_event_t&>(event).atom != property) return;
    seen = true;
    onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
  });
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(adapters->get(), adapters->root(), XCB_CW_EVENT_MASK, &mask);
  xcb_flush(adapters->get());
  // A round trip of our own, so the selection is in place before the change below.
  adapters->atom("QUILLON_TEST_SYNC");

  const std::uint32_t value = 7;
  xcb_change_property(other->get(), XCB_PROP_MODE_REPLACE, other->root(), property, XCB_ATOM_CARDINAL, 32, 1, &value);
  xcb_flush(other->get());
  ASSERT_TRUE(spinUntil([&] { return seen; }));
  EXPECT_TRUE(onMain);
}

TEST(DesktopOnX11, StatusItemDocksInTheTrayHost) {
  FakeLogSink log;
  QtStatusMenuHost host(log);
  ASSERT_TRUE(host.isAvailable()) << "no tray host; run under scripts/with-x --tray";
  EXPECT_TRUE(log.lines().empty());
  // The tray host embeds the icon and gives it a place on screen.
  EXPECT_TRUE(spinUntil([&] { return !host.statusItemGeometry().isEmpty(); }));
}

}  // namespace
}  // namespace quillon

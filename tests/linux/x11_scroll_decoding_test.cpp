#include "linux/x11_scroll_decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/input/router_rig.h"
#include "linux/x11_modifier_flags.h"

namespace quillon {
namespace {

using router_testing::RouterRig;

// A raw event of device 9 as the server lays it out: the header, one mask word, then
// the values of the valuators the mask names, in order.
std::vector<std::uint8_t> rawEvent(std::uint16_t type, std::uint32_t mask, const std::vector<double>& values,
                                   std::uint32_t detail = 0, bool emulated = false) {
  xcb_input_raw_motion_event_t header{};
  header.response_type = XCB_GE_GENERIC;
  header.event_type = type;
  header.sourceid = 9;
  header.detail = detail;
  header.flags = emulated ? XCB_INPUT_POINTER_EVENT_FLAGS_POINTER_EMULATED : 0;
  header.valuators_len = 1;
  std::vector<std::uint8_t> bytes(sizeof header + 4 + 2 * 8 * values.size());
  std::memcpy(bytes.data(), &header, sizeof header);
  std::memcpy(bytes.data() + sizeof header, &mask, 4);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto integral = static_cast<std::int32_t>(std::floor(values[i]));
    const xcb_input_fp3232_t fixed{integral, static_cast<std::uint32_t>((values[i] - integral) * 4294967296.0)};
    std::memcpy(bytes.data() + sizeof header + 4 + 8 * i, &fixed, 8);
  }
  return bytes;
}
std::vector<std::uint8_t> motion(std::uint32_t mask, const std::vector<double>& values, bool emulated = false) {
  return rawEvent(XCB_INPUT_RAW_MOTION, mask, values, 0, emulated);
}
std::vector<std::uint8_t> press(std::uint32_t button, bool emulated = false) {
  return rawEvent(XCB_INPUT_RAW_BUTTON_PRESS, 0, {}, button, emulated);
}
X11ScrollValuators::Decoded decode(const X11ScrollValuators& valuators, const std::vector<std::uint8_t>& bytes) {
  return valuators.decodeRaw(*reinterpret_cast<const xcb_ge_generic_event_t*>(bytes.data()));
}

// Valuators grow down and right; the router's axes point up and left, one line per
// increment. Button and smooth deltas must agree in sign and in their calibration.
TEST(X11ScrollDecoding, WheelButtonsAndSmoothValuatorsShareTheRoutersAxesAndUnits) {
  X11ScrollValuators valuators;
  valuators.set(9, {{2, false, 15}, {3, true, 15}});
  const struct {
    const char* name;
    std::vector<std::uint8_t> event;
    bool scroll, moved;
    double axis1, axis2;
  } cases[] = {{"button 4: one notch up", press(4), true, false, 1, 0},
               {"button 7: one notch right", press(7), true, false, 0, -1},
               {"button 1 is no scroll", press(1), false, false, 0, 0},
               {"two notches down", motion(0b0100, {30}), true, false, -2, 0},
               {"one notch right", motion(0b1000, {15}), true, false, 0, -1},
               {"move and half a notch left", motion(0b1011, {4, 5, -7.5}), true, true, 0, 0.5},
               {"move only", motion(0b0011, {4, 5}), false, true, 0, 0},
               {"scroll valuator at rest", motion(0b0100, {0}), false, false, 0, 0},
               {"emulated press of smooth motion", press(5, true), false, false, 0, 0},
               {"emulated motion of a wheel press", motion(0b0100, {15}, true), false, false, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto decoded = decode(valuators, c.event);
    EXPECT_EQ(decoded.moved, c.moved);
    ASSERT_EQ(decoded.scroll.has_value(), c.scroll);
    if (!c.scroll) continue;
    EXPECT_TRUE(decoded.scroll->isContinuous);
    EXPECT_DOUBLE_EQ(decoded.scroll->lineDeltaAxis1, c.axis1);
    EXPECT_DOUBLE_EQ(decoded.scroll->lineDeltaAxis2, c.axis2);
    EXPECT_DOUBLE_EQ(decoded.scroll->pointDeltaAxis1, c.axis1 * kX11PointsPerPage);
    EXPECT_DOUBLE_EQ(decoded.scroll->pointDeltaAxis2, c.axis2 * kX11PointsPerPage);
  }
}

// Raw events of real devices, decoded as the tap decodes them, fed to the real router
// with its switcher up: how many pages each input makes.
TEST(X11ScrollDecoding, EachDevicesNaturalGesturePagesOnceAndNothingCountsTwice) {
  const auto wheel = [](std::uint32_t valuator, double units, std::uint32_t button) {
    return std::vector{motion(valuator, {units}), press(button, true)};
  };
  std::vector<std::vector<std::uint8_t>> swipe;  // 2.2 cm on a touchpad, in 11 reports
  for (int i = 0; i < 11; ++i) swipe.push_back(motion(0b10000, {7.5}));
  std::vector<std::vector<std::uint8_t>> shortSwipe(swipe.begin(), swipe.begin() + 7);
  const std::uint32_t superAltGr = XCB_MOD_MASK_4 | XCB_MOD_MASK_5, super = XCB_MOD_MASK_4;
  const struct {
    const char* name;
    std::vector<std::vector<std::uint8_t>> events;
    std::uint32_t modifiers;
    bool verticalPages;
    int pages;
    bool cancelled;
  } cases[] = {
      {"a wheel click without valuators", {press(7), motion(0b1000, {15}, true)}, super, false, 1, false},
      {"a smooth wheel's click and its emulated press", wheel(0b1000, 15, 7), super, false, 1, false},
      {"an eighth of a high-resolution click", {motion(0b1000, {15.0 / 8})}, super, false, 0, false},
      {"a touchpad swipe of 2.2 cm", swipe, super, false, 1, false},
      {"a shorter touchpad swipe", shortSwipe, super, false, 0, false},
      {"a vertical click with the setting off", wheel(0b0100, 15, 5), super, false, 0, false},
      {"a vertical click with the setting on", wheel(0b0100, 15, 5), super, true, 1, false},
      {"a click with AltGr held", {press(7)}, superAltGr, false, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RouterRig r;
    r.modifiers(router_testing::kCommand);
    ASSERT_EQ(r.router->session().phase(), LaunchSwitchSession::Phase::active);
    X11ScrollValuators valuators;
    valuators.set(9, {{2, false, 15}, {3, true, 15}, {4, true, 15, true}});
    for (const auto& event : c.events) {
      auto decoded = decode(valuators, event);
      if (!decoded.scroll) continue;
      decoded.scroll->flags = launchEventFlagsForChord(c.modifiers, LaunchModifierShortcut::command());
      x11PageWithVerticalScroll(*decoded.scroll, c.verticalPages);
      r.router->shouldConsumeScroll(*decoded.scroll, router_testing::kOverNotch);
      r.clock.advance(0.01);
    }
    const auto lines = r.log.lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) { return line.starts_with("[Quillon/launch-input] page "); }),
              c.pages);
    EXPECT_EQ(r.router->session().phase() == LaunchSwitchSession::Phase::idle, c.cancelled);
    if (c.pages == 1) {
      EXPECT_EQ(r.router->session().selectedID(), r.ember.id) << "down and right page forwards";
    }
  }
}

}  // namespace
}  // namespace quillon

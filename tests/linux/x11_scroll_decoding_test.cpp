#include "linux/x11_scroll_decoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quillon {
namespace {

// A raw motion event of device 9 as the server lays it out: the header, one mask word,
// then the values of the valuators the mask names, in order.
std::vector<std::uint8_t> rawMotion(std::uint32_t mask, const std::vector<double>& values) {
  xcb_input_raw_motion_event_t header{};
  header.sourceid = 9;
  header.valuators_len = 1;
  std::vector<std::uint8_t> bytes(sizeof header + 4 + 2 * 8 * values.size());
  std::memcpy(bytes.data(), &header, sizeof header);
  std::memcpy(bytes.data() + sizeof header, &mask, 4);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const xcb_input_fp3232_t fixed{static_cast<std::int32_t>(values[i]), 0};
    std::memcpy(bytes.data() + sizeof header + 4 + 8 * i, &fixed, 8);
  }
  return bytes;
}

// Valuators grow down and right; the router's axes point up and left, one line per
// increment. Button and smooth deltas must agree in sign.
TEST(X11ScrollDecoding, WheelButtonsAndSmoothValuatorsShareTheRoutersAxes) {
  EXPECT_EQ(x11ScrollFromButton(4, 0).lineDeltaAxis1, 1.0);
  EXPECT_EQ(x11ScrollFromButton(5, 0).lineDeltaAxis1, -1.0);
  EXPECT_EQ(x11ScrollFromButton(6, 0).lineDeltaAxis2, 1.0);
  EXPECT_EQ(x11ScrollFromButton(7, 0x100000).lineDeltaAxis2, -1.0);
  X11ScrollValuators valuators;
  valuators.set(9, {{2, false, 15}, {3, true, 15}});
  const struct {
    const char* name;
    std::uint32_t mask;
    std::vector<double> values;
    bool scroll, moved;
    double axis1, axis2;
  } cases[] = {{"two lines down", 0b0100, {30}, true, false, -2, 0},
               {"one line right", 0b1000, {15}, true, false, 0, -1},
               {"move and half a line left", 0b1011, {4, 5, -7}, true, true, 0, 7.0 / 15},
               {"move only", 0b0011, {4, 5}, false, true, 0, 0},
               {"scroll valuator at rest", 0b0100, {0}, false, false, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = rawMotion(c.mask, c.values);
    const auto decoded = valuators.decode(*reinterpret_cast<const xcb_input_raw_motion_event_t*>(bytes.data()));
    EXPECT_EQ(decoded.moved, c.moved);
    ASSERT_EQ(decoded.scroll.has_value(), c.scroll);
    if (!c.scroll) continue;
    EXPECT_TRUE(decoded.scroll->isContinuous);
    EXPECT_DOUBLE_EQ(decoded.scroll->lineDeltaAxis1, c.axis1);
    EXPECT_DOUBLE_EQ(decoded.scroll->lineDeltaAxis2, c.axis2);
    EXPECT_DOUBLE_EQ(decoded.scroll->pointDeltaAxis2, c.axis2 * X11ScrollValuators::pointsPerLine);
  }
}

}  // namespace
}  // namespace quillon

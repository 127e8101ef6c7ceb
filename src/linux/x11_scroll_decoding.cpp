#include "linux/x11_scroll_decoding.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <utility>

#include "linux/x11_connection.h"

namespace quillon {

namespace {

double fromFixed(const xcb_input_fp3232_t& value) {
  return static_cast<double>(value.integral) + static_cast<double>(value.frac) / 4294967296.0;
}

// Touchpads scroll by finger travel, which the increment measures in far smaller steps
// than a notch. libinput's driver marks them with its tapping setting; other drivers
// are recognised by the device's name.
bool isTouchpad(X11Connection& connection, const xcb_input_xi_device_info_t& device, xcb_atom_t tapping,
                X11Deadline deadline) {
  std::string name(xcb_input_xi_device_info_name(&device),
                   static_cast<std::size_t>(xcb_input_xi_device_info_name_length(&device)));
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
  if (name.find("touchpad") != std::string::npos || name.find("trackpad") != std::string::npos) return true;
  if (tapping == XCB_ATOM_NONE) return false;
  auto reply = connection.pending(xcb_input_xi_list_properties(connection.get(), device.deviceid))
                   .take<xcb_input_xi_list_properties_reply_t>(deadline);
  if (!reply) return false;
  const xcb_atom_t* properties = xcb_input_xi_list_properties_properties(reply.get());
  return std::find(properties, properties + reply->num_properties, tapping) != properties + reply->num_properties;
}

}  // namespace

ScrollEvent x11ScrollFromButton(std::uint32_t button, EventFlags flags) {
  ScrollEvent event;
  event.flags = flags;
  switch (button) {
    case 4: event.lineDeltaAxis1 = 1; break;
    case 5: event.lineDeltaAxis1 = -1; break;
    case 6: event.lineDeltaAxis2 = 1; break;
    case 7: event.lineDeltaAxis2 = -1; break;
    default: break;
  }
  event.isContinuous = true;
  event.pointDeltaAxis1 = event.lineDeltaAxis1 * kX11PointsPerPage;
  event.pointDeltaAxis2 = event.lineDeltaAxis2 * kX11PointsPerPage;
  return event;
}

void x11PageWithVerticalScroll(ScrollEvent& event, bool verticalPages) {
  const bool shift = (event.flags & LaunchModifierShortcut::shiftFlag) != 0;
  if (!verticalPages && !shift) return;
  // The larger axis of the event wins, so a touchpad's diagonal drift pages one way only.
  if (std::abs(event.pointDeltaAxis1) <= std::abs(event.pointDeltaAxis2)) return;
  event.lineDeltaAxis2 = std::exchange(event.lineDeltaAxis1, 0);
  event.pointDeltaAxis2 = std::exchange(event.pointDeltaAxis1, 0);
}

void X11ScrollValuators::load(X11Connection& connection) {
  const auto deadline = x11DeadlineAfter(kX11QueryBound);
  auto reply = connection.pending(xcb_input_xi_query_device(connection.get(), XCB_INPUT_DEVICE_ALL))
                   .take<xcb_input_xi_query_device_reply_t>(deadline);
  if (!reply) return;
  const xcb_atom_t tapping = connection.atom("libinput Tapping Enabled", deadline);
  devices_.clear();
  for (auto device = xcb_input_xi_query_device_infos_iterator(reply.get()); device.rem > 0;
       xcb_input_xi_device_info_next(&device)) {
    std::vector<Valuator> valuators;
    for (auto info = xcb_input_xi_device_info_classes_iterator(device.data); info.rem > 0;
         xcb_input_device_class_next(&info)) {
      if (info.data->type != XCB_INPUT_DEVICE_CLASS_TYPE_SCROLL) continue;
      const auto* scroll = reinterpret_cast<const xcb_input_scroll_class_t*>(info.data);
      const double increment = std::abs(fromFixed(scroll->increment));
      valuators.push_back({scroll->number, scroll->scroll_type == XCB_INPUT_SCROLL_TYPE_HORIZONTAL,
                           increment == 0 ? 1.0 : increment, false});
    }
    if (valuators.empty()) continue;
    const bool touchpad = isTouchpad(connection, *device.data, tapping, deadline);
    for (auto& valuator : valuators) valuator.touchpad = touchpad;
    devices_[device.data->deviceid] = std::move(valuators);
  }
}

X11ScrollValuators::Decoded X11ScrollValuators::decodeRaw(const xcb_ge_generic_event_t& event) const {
  if (event.event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
    const auto& raw = reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event);
    if (!x11IsScrollButton(raw.detail) || (raw.flags & XCB_INPUT_POINTER_EVENT_FLAGS_POINTER_EMULATED) != 0) return {};
    return {x11ScrollFromButton(raw.detail, 0), false};
  }
  if (event.event_type == XCB_INPUT_RAW_MOTION) {
    const auto& raw = reinterpret_cast<const xcb_input_raw_motion_event_t&>(event);
    if ((raw.flags & XCB_INPUT_POINTER_EVENT_FLAGS_POINTER_EMULATED) != 0) return {};
    return decode(raw);
  }
  return {};
}

X11ScrollValuators::Decoded X11ScrollValuators::decode(const xcb_input_raw_motion_event_t& raw) const {
  Decoded decoded;
  const auto found = devices_.find(raw.sourceid);
  const std::vector<Valuator>* scrolls = found == devices_.end() ? nullptr : &found->second;
  const std::uint32_t* mask = xcb_input_raw_button_press_valuator_mask(&raw);
  const xcb_input_fp3232_t* values = xcb_input_raw_button_press_axisvalues(&raw);
  ScrollEvent scroll;
  bool scrolled = false;
  int index = 0;
  for (std::uint32_t number = 0; number < raw.valuators_len * 32U; ++number) {
    if ((mask[number / 32] & (1U << (number % 32))) == 0) continue;
    const double value = fromFixed(values[index++]);
    const Valuator* valuator = nullptr;
    if (scrolls != nullptr) {
      for (const auto& candidate : *scrolls) {
        if (candidate.number == number) valuator = &candidate;
      }
    }
    if (valuator == nullptr) {
      decoded.moved = decoded.moved || number < 2;
      continue;
    }
    // Valuators grow downwards and rightwards; the router's axes point up and left.
    const double lines = -value / valuator->increment;
    const double points = lines * kX11PointsPerPage / (valuator->touchpad ? kX11TouchpadIncrementsPerPage : 1.0);
    (valuator->horizontal ? scroll.lineDeltaAxis2 : scroll.lineDeltaAxis1) += lines;
    (valuator->horizontal ? scroll.pointDeltaAxis2 : scroll.pointDeltaAxis1) += points;
    scrolled = scrolled || value != 0;
  }
  if (scrolled) {
    scroll.isContinuous = true;
    decoded.scroll = scroll;
  }
  return decoded;
}

}  // namespace quillon

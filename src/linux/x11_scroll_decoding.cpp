#include "linux/x11_scroll_decoding.h"

#include "linux/x11_connection.h"

namespace quillon {

namespace {

double fromFixed(const xcb_input_fp3232_t& value) {
  return static_cast<double>(value.integral) + static_cast<double>(value.frac) / 4294967296.0;
}

}  // namespace

LaunchScrollEvent x11ScrollFromButton(std::uint32_t button, LaunchEventFlags flags) {
  LaunchScrollEvent event;
  event.flags = flags;
  switch (button) {
    case 4: event.lineDeltaAxis1 = 1; break;
    case 5: event.lineDeltaAxis1 = -1; break;
    case 6: event.lineDeltaAxis2 = 1; break;
    case 7: event.lineDeltaAxis2 = -1; break;
    default: break;
  }
  return event;
}

void X11ScrollValuators::load(X11Connection& connection) {
  auto reply = connection.pending(xcb_input_xi_query_device(connection.get(), XCB_INPUT_DEVICE_ALL))
                   .take<xcb_input_xi_query_device_reply_t>(x11DeadlineAfter(kX11QueryBound));
  if (!reply) return;
  devices_.clear();
  for (auto device = xcb_input_xi_query_device_infos_iterator(reply.get()); device.rem > 0;
       xcb_input_xi_device_info_next(&device)) {
    std::vector<Valuator> valuators;
    for (auto info = xcb_input_xi_device_info_classes_iterator(device.data); info.rem > 0;
         xcb_input_device_class_next(&info)) {
      if (info.data->type != XCB_INPUT_DEVICE_CLASS_TYPE_SCROLL) continue;
      const auto* scroll = reinterpret_cast<const xcb_input_scroll_class_t*>(info.data);
      const double increment = fromFixed(scroll->increment);
      valuators.push_back({scroll->number, scroll->scroll_type == XCB_INPUT_SCROLL_TYPE_HORIZONTAL,
                           increment == 0 ? 1.0 : increment});
    }
    if (!valuators.empty()) devices_[device.data->deviceid] = std::move(valuators);
  }
}

X11ScrollValuators::Decoded X11ScrollValuators::decode(const xcb_input_raw_motion_event_t& raw) const {
  Decoded decoded;
  const auto found = devices_.find(raw.sourceid);
  const std::vector<Valuator>* scrolls = found == devices_.end() ? nullptr : &found->second;
  const std::uint32_t* mask = xcb_input_raw_button_press_valuator_mask(&raw);
  const xcb_input_fp3232_t* values = xcb_input_raw_button_press_axisvalues(&raw);
  LaunchScrollEvent scroll;
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
    (valuator->horizontal ? scroll.lineDeltaAxis2 : scroll.lineDeltaAxis1) += lines;
    scrolled = scrolled || value != 0;
  }
  if (scrolled) {
    scroll.isContinuous = true;
    scroll.pointDeltaAxis1 = scroll.lineDeltaAxis1 * pointsPerLine;
    scroll.pointDeltaAxis2 = scroll.lineDeltaAxis2 * pointsPerLine;
    decoded.scroll = scroll;
  }
  return decoded;
}

}  // namespace quillon

#include "mac/mac_global_event_tap.h"

#import <ApplicationServices/ApplicationServices.h>
#include <fmt/format.h>

#include "core/display/screen_coordinates.h"
#include "core/input/input_router.h"
#include "core/input/launch_input_trace.h"
#include "core/platform/log_sink.h"
#include "core/platform/screens.h"
#include "mac/mac_cf_ref.h"

namespace quillon {

namespace {

constexpr CGEventMask kObservedEvents =
    CGEventMaskBit(kCGEventMouseMoved) | CGEventMaskBit(kCGEventFlagsChanged) | CGEventMaskBit(kCGEventScrollWheel);

// The fields as the router reads them: line deltas for wheels, point deltas and the
// continuous flag for trackpads and smooth scrolling, all read as doubles.
ScrollEvent scrollEventFrom(CGEventRef event) {
  ScrollEvent scroll;
  scroll.flags = static_cast<EventFlags>(CGEventGetFlags(event));
  scroll.isContinuous = CGEventGetIntegerValueField(event, kCGScrollWheelEventIsContinuous) != 0;
  scroll.scrollPhase = CGEventGetIntegerValueField(event, kCGScrollWheelEventScrollPhase);
  scroll.momentumPhase = CGEventGetIntegerValueField(event, kCGScrollWheelEventMomentumPhase);
  scroll.lineDeltaAxis1 = CGEventGetDoubleValueField(event, kCGScrollWheelEventDeltaAxis1);
  scroll.lineDeltaAxis2 = CGEventGetDoubleValueField(event, kCGScrollWheelEventDeltaAxis2);
  scroll.pointDeltaAxis1 = CGEventGetDoubleValueField(event, kCGScrollWheelEventPointDeltaAxis1);
  scroll.pointDeltaAxis2 = CGEventGetDoubleValueField(event, kCGScrollWheelEventPointDeltaAxis2);
  return scroll;
}

}  // namespace

struct MacGlobalEventTap::Impl {
  ModifierInputRouter& router;
  Screens& screens;
  LaunchInputTrace& trace;
  LogSink& log;
  MacCFRef<CFMachPortRef> port;
  MacCFRef<CFRunLoopSourceRef> source;
  // Event locations are global (y down); the router wants screen coordinates (y up),
  // flipped at the primary screen's top, which only a screen change moves.
  ScreenCoordinates space{0};
  Subscription screenChanges;

  Impl(ModifierInputRouter& r, Screens& s, LaunchInputTrace& t, LogSink& l) : router(r), screens(s), trace(t), log(l) {}

  ~Impl() {
    if (!port) return;
    CGEventTapEnable(port.get(), false);
    CFRunLoopRemoveSource(CFRunLoopGetMain(), source.get(), kCFRunLoopCommonModes);
    CFMachPortInvalidate(port.get());
  }

  static CGEventRef callback(CGEventTapProxy, CGEventType type, CGEventRef event, void* info) {
    return static_cast<Impl*>(info)->handle(type, event);
  }

  CGEventRef handle(CGEventType type, CGEventRef event) {
    if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
      const bool timeout = type == kCGEventTapDisabledByTimeout;
      trace.record(timeout ? "tap.interrupted reason=timeout" : "tap.interrupted reason=user-input");
      router.inputObservationInterrupted(
          static_cast<EventFlags>(CGEventSourceFlagsState(kCGEventSourceStateCombinedSessionState)));
      if (port) CGEventTapEnable(port.get(), true);
      trace.record("tap.reenabled");
      log.log(timeout ? "[Quillon] tap re-enabled after timeout" : "[Quillon] tap re-enabled after user input");
      return event;
    }
    const CGPoint location = CGEventGetLocation(event);
    const ScreenPoint cursor = space.cocoaFromQuartz(GlobalPoint{location.x, location.y});
    switch (type) {
      case kCGEventMouseMoved: router.cursorMoved(cursor); return event;
      case kCGEventScrollWheel: return router.shouldConsumeScroll(scrollEventFrom(event), cursor) ? nullptr : event;
      case kCGEventFlagsChanged: {
        const auto flags = static_cast<EventFlags>(CGEventGetFlags(event));
        trace.record(fmt::format("tap.flags eventTimestamp={} flags=0x{:x}", CGEventGetTimestamp(event), flags));
        router.modifiersChanged(flags, cursor);
        return event;
      }
      default: return event;
    }
  }

  bool install() {
    port = MacCFRef<CFMachPortRef>::adopt(CGEventTapCreate(kCGSessionEventTap, kCGHeadInsertEventTap,
                                                           kCGEventTapOptionDefault, kObservedEvents, &callback, this));
    if (!port) return false;
    source = MacCFRef<CFRunLoopSourceRef>::adopt(CFMachPortCreateRunLoopSource(kCFAllocatorDefault, port.get(), 0));
    if (!source) {
      CFMachPortInvalidate(port.get());
      port.reset();
      return false;
    }
    space = ScreenCoordinates::forScreens(screens.screens());
    screenChanges = screens.subscribeToChanges([this] { space = ScreenCoordinates::forScreens(screens.screens()); });
    CFRunLoopAddSource(CFRunLoopGetMain(), source.get(), kCFRunLoopCommonModes);
    CGEventTapEnable(port.get(), true);
    return true;
  }
};

MacGlobalEventTap::MacGlobalEventTap(ModifierInputRouter& router, Screens& screens, LaunchInputTrace& trace,
                                     LogSink& log)
    : impl_(std::make_unique<Impl>(router, screens, trace, log)) {}

MacGlobalEventTap::~MacGlobalEventTap() = default;

bool MacGlobalEventTap::start() {
  if (impl_->port) return true;
  impl_->trace.record("tap.start requested");
  if (!impl_->install()) {
    impl_->trace.record("tap.start failed=create");
    impl_->log.log("[Quillon] permission missing — CGEvent.tapCreate failed. Input routing disabled.");
    return false;
  }
  impl_->trace.record("tap.start success");
  impl_->log.log("[Quillon] event tap started");
  return true;
}

}  // namespace quillon

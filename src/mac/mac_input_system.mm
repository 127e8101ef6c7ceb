#include "mac/mac_input_system.h"

#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>

#include "mac/mac_cf_ref.h"

namespace quillon {

namespace {

constexpr std::int64_t kEscapeKeyCode = 53;

class MacEscapeTap final : public LaunchEscapeTap {
 public:
  explicit MacEscapeTap(std::function<bool()> onEscape)
      : state_(std::make_shared<State>(State{std::move(onEscape), false})) {}
  ~MacEscapeTap() override { MacEscapeTap::stop(); }

  bool start() override {
    if (port_) return true;
    port_ = MacCFRef<CFMachPortRef>::adopt(CGEventTapCreate(kCGSessionEventTap, kCGHeadInsertEventTap,
                                                            kCGEventTapOptionDefault, CGEventMaskBit(kCGEventKeyDown),
                                                            &callback, this));
    if (!port_) return false;
    source_ = MacCFRef<CFRunLoopSourceRef>::adopt(CFMachPortCreateRunLoopSource(kCFAllocatorDefault, port_.get(), 0));
    if (!source_) {
      CFMachPortInvalidate(port_.get());
      port_.reset();
      return false;
    }
    CFRunLoopAddSource(CFRunLoopGetMain(), source_.get(), kCFRunLoopCommonModes);
    CGEventTapEnable(port_.get(), true);
    state_->stopped = false;

    std::shared_ptr<State> state = state_;
    localMonitor_ = [NSEvent addLocalMonitorForEventsMatchingMask:NSEventMaskKeyDown
                                                          handler:^NSEvent*(NSEvent* event) {
                                                            if (event.keyCode == kEscapeKeyCode && state->answer())
                                                              return nil;
                                                            return event;
                                                          }];
    globalMonitor_ = [NSEvent addGlobalMonitorForEventsMatchingMask:NSEventMaskKeyDown
                                                            handler:^(NSEvent* event) {
                                                              if (event.keyCode == kEscapeKeyCode) state->answer();
                                                            }];
    return true;
  }

  void stop() override {
    state_->stopped = true;
    if (localMonitor_ != nil) [NSEvent removeMonitor:localMonitor_];
    if (globalMonitor_ != nil) [NSEvent removeMonitor:globalMonitor_];
    localMonitor_ = nil;
    globalMonitor_ = nil;
    if (!port_) return;
    CGEventTapEnable(port_.get(), false);
    CFRunLoopRemoveSource(CFRunLoopGetMain(), source_.get(), kCFRunLoopCommonModes);
    CFMachPortInvalidate(port_.get());
    source_.reset();
    port_.reset();
  }

 private:
  // Shared with the monitors' blocks, which AppKit may still hold for a moment after
  // they were removed.
  struct State {
    std::function<bool()> onEscape;
    bool stopped;
    bool answer() const { return !stopped && onEscape(); }
  };

  static CGEventRef callback(CGEventTapProxy, CGEventType type, CGEventRef event, void* info) {
    auto& tap = *static_cast<MacEscapeTap*>(info);
    if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
      if (tap.port_) CGEventTapEnable(tap.port_.get(), true);
      return event;
    }
    if (type != kCGEventKeyDown || CGEventGetIntegerValueField(event, kCGKeyboardEventKeycode) != kEscapeKeyCode) {
      return event;
    }
    return tap.state_->answer() ? nullptr : event;
  }

  std::shared_ptr<State> state_;
  MacCFRef<CFMachPortRef> port_;
  MacCFRef<CFRunLoopSourceRef> source_;
  id localMonitor_ = nil;
  id globalMonitor_ = nil;
};

}  // namespace

EventFlags MacInputSystem::currentModifierFlags() {
  return static_cast<EventFlags>(CGEventSourceFlagsState(kCGEventSourceStateCombinedSessionState));
}

ScreenPoint MacInputSystem::currentCursorLocation() {
  const NSPoint location = [NSEvent mouseLocation];
  return {location.x, location.y};
}

std::unique_ptr<LaunchEscapeTap> MacInputSystem::makeEscapeTap(std::function<bool()> onEscape) {
  return std::make_unique<MacEscapeTap>(std::move(onEscape));
}

}  // namespace quillon

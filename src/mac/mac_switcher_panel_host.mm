#include "mac/mac_switcher_panel_host.h"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>

#include <optional>
#include <string>

#include "core/overlay/launch_switcher_overlay.h"
#include "desktop/qt_switcher_panel.h"
#include "desktop/qt_switcher_panel_host.h"
#include "mac/mac_notifications.h"

namespace quillon {

namespace {

class MacPanel final : public LaunchSwitcherPanel {
 public:
  MacPanel(std::unique_ptr<LaunchSwitcherPanel> drawn, int level) : drawn_(std::move(drawn)), level_(level) {}

  // LaunchSwitcherPanel:
  void orderFront() override {
    drawn_->orderFront();
    if (kept_) place();
  }
  void orderOut() override {
    kept_ = false;
    drawn_->orderOut();
  }
  bool isVisible() const override { return drawn_->isVisible(); }
  void setAcceptsMouse(bool accepts) override {
    acceptsMouse_ = accepts;
    drawn_->setAcceptsMouse(accepts);
    if (NSWindow* window = nativeWindow()) window.ignoresMouseEvents = !accepts;
    if (kept_) place();
  }
  std::optional<std::string> keepAboveAll() override {
    if (nativeWindow() == nil) return LaunchSwitcherOverlay::unsupportedDescription();
    kept_ = true;
    place();
    return std::nullopt;
  }
  void contentChanged() override { drawn_->contentChanged(); }

 private:
  // The Qt window's NSView is the native window handle on macOS.
  NSWindow* nativeWindow() const {
    QtSwitcherPanel* widget = QtSwitcherPanelHost::widgetOf(drawn_.get());
    if (widget == nullptr) return nil;
    NSView* view = (__bridge NSView*)reinterpret_cast<void*>(widget->winId());
    return view.window;
  }

  void place() {
    NSWindow* window = nativeWindow();
    if (window == nil) return;
    window.level = level_;
    window.collectionBehavior = NSWindowCollectionBehaviorCanJoinAllSpaces | NSWindowCollectionBehaviorStationary |
                                NSWindowCollectionBehaviorIgnoresCycle | NSWindowCollectionBehaviorFullScreenAuxiliary;
    window.hidesOnDeactivate = NO;
    window.hasShadow = NO;
    window.movable = NO;
    window.ignoresMouseEvents = !acceptsMouse_;
    if ([window isKindOfClass:[NSPanel class]]) {
      id any = window;
      NSPanel* panel = any;
      panel.styleMask = panel.styleMask | NSWindowStyleMaskNonactivatingPanel;
      panel.floatingPanel = YES;
    }
    [window orderFrontRegardless];
  }

  std::unique_ptr<LaunchSwitcherPanel> drawn_;
  NSWindowLevel level_;
  bool kept_ = false;
  // Panels start ignoring the mouse.
  bool acceptsMouse_ = false;
};

}  // namespace

MacSwitcherPanelHost::MacSwitcherPanelHost(std::unique_ptr<QtSwitcherPanelHost> drawing)
    : drawing_(std::move(drawing)) {}

MacSwitcherPanelHost::~MacSwitcherPanelHost() = default;

std::unique_ptr<LaunchSwitcherPanel> MacSwitcherPanelHost::makePanel(LaunchSwitcherContentView& content,
                                                                     const ScreenRect& frame, int level) {
  return std::make_unique<MacPanel>(drawing_->makePanel(content, frame, level), level);
}

double MacSwitcherPanelHost::backingScale(const ScreenRect& screenFrame) const {
  const NSRect wanted = NSMakeRect(screenFrame.x, screenFrame.y, screenFrame.width, screenFrame.height);
  for (NSScreen* screen in [NSScreen screens]) {
    if (NSEqualRects(screen.frame, wanted)) return screen.backingScaleFactor;
  }
  NSScreen* main = [NSScreen mainScreen];
  return main != nil ? main.backingScaleFactor : 1;
}

int MacSwitcherPanelHost::mainMenuLevel() const { return static_cast<int>(NSMainMenuWindowLevel); }

int MacSwitcherPanelHost::maximumLevel() const { return CGWindowLevelForKey(kCGMaximumWindowLevelKey); }

Subscription MacSwitcherPanelHost::observeScreenLock(std::function<void()> handler) {
  return macObserve([NSDistributedNotificationCenter defaultCenter], @"com.apple.screenIsLocked",
                    [handler = std::move(handler)](NSNotification*) { handler(); });
}

}  // namespace quillon

#include "mac/mac_screens.h"

#import <AppKit/AppKit.h>

#include "mac/mac_notifications.h"

namespace quillon {

std::vector<Screen> MacScreens::screens() const {
  std::vector<Screen> result;
  for (NSScreen* screen in [NSScreen screens]) {
    id number = screen.deviceDescription[@"NSScreenNumber"];
    if (![number isKindOfClass:[NSNumber class]]) continue;
    const NSRect frame = screen.frame;
    result.push_back({[number unsignedIntValue],
                      ScreenRect { frame.origin.x, frame.origin.y, frame.size.width, frame.size.height }});
  }
  return result;
}

Subscription MacScreens::subscribeToChanges(std::function<void()> handler) {
  return macObserve([NSNotificationCenter defaultCenter], NSApplicationDidChangeScreenParametersNotification,
                    [handler = std::move(handler)](NSNotification*) { handler(); });
}

}  // namespace quillon

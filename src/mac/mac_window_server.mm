#include "mac/mac_window_server.h"

#import <CoreGraphics/CoreGraphics.h>
#import <Foundation/Foundation.h>

#include "mac/mac_cf_ref.h"

namespace quillon {

namespace {

NSNumber* numberIn(NSDictionary* row, CFStringRef key) {
  id value = row[(__bridge NSString*)key];
  return [value isKindOfClass:[NSNumber class]] ? value : nil;
}

}  // namespace

Task<std::vector<WindowRow>> MacWindowServer::readOnScreenWindows(bool excludeDesktopElements) const {
  co_return onScreenWindows(excludeDesktopElements);
}

std::vector<WindowRow> MacWindowServer::onScreenWindows(bool excludeDesktopElements) const {
  CGWindowListOption options = kCGWindowListOptionOnScreenOnly;
  if (excludeDesktopElements) options |= kCGWindowListExcludeDesktopElements;
  auto list = MacCFRef<CFArrayRef>::adopt(CGWindowListCopyWindowInfo(options, kCGNullWindowID));
  std::vector<WindowRow> rows;
  if (!list) return rows;
  for (id entry in (__bridge NSArray*)list.get()) {
    if (![entry isKindOfClass:[NSDictionary class]]) continue;
    NSDictionary* row = entry;
    WindowRow window;
    if (NSNumber* pid = numberIn(row, kCGWindowOwnerPID)) window.ownerPID = pid.intValue;
    if (NSNumber* number = numberIn(row, kCGWindowNumber)) window.windowNumber = number.unsignedIntValue;
    if (NSNumber* layer = numberIn(row, kCGWindowLayer)) window.layer = layer.intValue;
    if (NSNumber* alpha = numberIn(row, kCGWindowAlpha)) window.alpha = alpha.doubleValue;
    if (NSNumber* sharing = numberIn(row, kCGWindowSharingState)) window.sharingState = sharing.intValue;
    id bounds = row[(__bridge NSString*)kCGWindowBounds];
    CGRect rect = CGRectZero;
    if ([bounds isKindOfClass:[NSDictionary class]] &&
        CGRectMakeWithDictionaryRepresentation((__bridge CFDictionaryRef)bounds, &rect)) {
      window.bounds = GlobalRect{rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
    }
    rows.push_back(window);
  }
  return rows;
}

bool MacWindowServer::isScreenLocked() const {
  auto session = MacCFRef<CFDictionaryRef>::adopt(CGSessionCopyCurrentDictionary());
  if (!session) return true;
  NSDictionary* values = (__bridge NSDictionary*)session.get();
  id locked = values[@"CGSSessionScreenIsLocked"];
  return [locked isKindOfClass:[NSNumber class]] && [locked boolValue];
}

}  // namespace quillon

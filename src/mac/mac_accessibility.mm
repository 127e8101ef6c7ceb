#include "mac/mac_accessibility.h"

#import <ApplicationServices/ApplicationServices.h>
#import <Foundation/Foundation.h>

#include "mac/mac_cf_ref.h"

namespace quillon {

namespace {

using MacElement = MacCFRef<AXUIElementRef>;

MacCFRef<CFTypeRef> copyAttribute(AXUIElementRef element, CFStringRef attribute) {
  CFTypeRef value = nullptr;
  if (AXUIElementCopyAttributeValue(element, attribute, &value) != kAXErrorSuccess) return {};
  return MacCFRef<CFTypeRef>::adopt(value);
}

// The element's own window: its window attribute, or the element itself when it is one.
MacElement windowOf(AXUIElementRef element) {
  if (auto window = copyAttribute(element, kAXWindowAttribute);
      window && CFGetTypeID(window.get()) == AXUIElementGetTypeID()) {
    return MacElement::retain(static_cast<AXUIElementRef>(window.get()));
  }
  auto role = copyAttribute(element, kAXRoleAttribute);
  if (role && CFGetTypeID(role.get()) == CFStringGetTypeID() && CFEqual(role.get(), kAXWindowRole)) {
    return MacElement::retain(element);
  }
  return {};
}

template <class T>
std::optional<T> axValue(AXUIElementRef element, CFStringRef attribute, AXValueType type) {
  auto value = copyAttribute(element, attribute);
  if (!value || CFGetTypeID(value.get()) != AXValueGetTypeID()) return std::nullopt;
  T result{};
  if (!AXValueGetValue(static_cast<AXValueRef>(value.get()), type, &result)) return std::nullopt;
  return result;
}

}  // namespace

bool MacAccessibility::isTrusted(bool prompt) {
  if (!prompt) return AXIsProcessTrusted();
  NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
  return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
}

std::optional<AccessibilityHit> MacAccessibility::elementAtPoint(GlobalPoint quartzPoint,
                                                                 double messagingTimeoutSeconds) {
  const auto timeout = static_cast<float>(messagingTimeoutSeconds);
  auto systemWide = MacElement::adopt(AXUIElementCreateSystemWide());
  if (!systemWide) return std::nullopt;
  AXUIElementSetMessagingTimeout(systemWide.get(), timeout);
  AXUIElementRef found = nullptr;
  if (AXUIElementCopyElementAtPosition(systemWide.get(), static_cast<float>(quartzPoint.x),
                                       static_cast<float>(quartzPoint.y), &found) != kAXErrorSuccess) {
    return std::nullopt;
  }
  auto element = MacElement::adopt(found);
  if (!element) return std::nullopt;
  AccessibilityHit hit;
  pid_t pid = 0;
  if (AXUIElementGetPid(element.get(), &pid) != kAXErrorSuccess) return std::nullopt;
  hit.processID = pid;
  AXUIElementSetMessagingTimeout(element.get(), timeout);
  auto window = windowOf(element.get());
  if (!window) return hit;
  AXUIElementSetMessagingTimeout(window.get(), timeout);
  const auto position = axValue<CGPoint>(window.get(), kAXPositionAttribute, kAXValueTypeCGPoint);
  const auto size = axValue<CGSize>(window.get(), kAXSizeAttribute, kAXValueTypeCGSize);
  if (position) hit.windowPosition = GlobalPoint{position->x, position->y};
  if (size) hit.windowSize = Size{size->width, size->height};
  return hit;
}

}  // namespace quillon

#include "mac/mac_screen_capture_service.h"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>
#import <CoreVideo/CoreVideo.h>
#import <ScreenCaptureKit/ScreenCaptureKit.h>

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "core/async/main_loop.h"
#include "mac/mac_bitmap.h"
#include "mac/mac_cf_ref.h"

namespace quillon {

namespace {

constexpr const char* kErrorDomain = "MacCapture";

Error ownError(MacScreenCaptureService::ErrorCode code) { return LaunchCaptureServiceError::of(kErrorDomain, code); }

Error systemError(NSError* error) {
  if (error == nil) return ownError(MacScreenCaptureService::imageUnavailable);
  return LaunchCaptureServiceError::of(error.domain.UTF8String, static_cast<long>(error.code));
}

GlobalRect globalRect(CGRect rect) { return {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}; }

ShareableContent contentFrom(SCShareableContent* content) {
  ShareableContent result;
  for (SCWindow* window in content.windows) {
    ShareableWindow row;
    row.windowID = window.windowID;
    row.ownerProcessID = window.owningApplication != nil ? window.owningApplication.processID : 0;
    row.frame = globalRect(window.frame);
    row.windowLayer = static_cast<int>(window.windowLayer);
    row.isOnScreen = window.onScreen;
    result.windows.push_back(row);
  }
  for (SCDisplay* display in content.displays) {
    result.displays.push_back({display.displayID, globalRect(display.frame)});
  }
  return result;
}

Result<Bitmap> bitmapFrom(CGImageRef image, NSError* error, int width, int height) {
  if (image == nullptr) return systemError(error);
  if (auto bitmap = macBitmapFromImage(image, width, height)) return std::move(*bitmap);
  return ownError(MacScreenCaptureService::imageUnavailable);
}

int pixels(int size) { return std::max(1, size); }

// The backing scale of the screen showing this display; 1 when no screen shows it.
double backingScaleOfDisplay(CGDirectDisplayID displayID) {
  for (NSScreen* screen in [NSScreen screens]) {
    id number = screen.deviceDescription[@"NSScreenNumber"];
    if ([number isKindOfClass:[NSNumber class]] && [number unsignedIntValue] == displayID) {
      return screen.backingScaleFactor;
    }
  }
  return 1;
}

API_AVAILABLE(macos(14.0))
SCStreamConfiguration* streamConfiguration(const CaptureConfiguration& configuration, bool singleWindow) {
  SCStreamConfiguration* stream = [[SCStreamConfiguration alloc] init];
  stream.width = static_cast<size_t>(pixels(configuration.width));
  stream.height = static_cast<size_t>(pixels(configuration.height));
  if (!singleWindow) {
    const Rect& source = configuration.sourceRect;
    stream.sourceRect = CGRectMake(source.x, source.y, source.width, source.height);
  }
  stream.pixelFormat = kCVPixelFormatType_32BGRA;
  stream.showsCursor = configuration.showsCursor;
  stream.capturesAudio = NO;
  stream.scalesToFit = YES;
  stream.backgroundColor = CGColorGetConstantColor(kCGColorClear);
  stream.shouldBeOpaque = NO;
  stream.ignoreShadowsSingleWindow = configuration.ignoresShadows;
  stream.ignoreShadowsDisplay = configuration.ignoresShadows;
  stream.ignoreGlobalClipSingleWindow = YES;
  return stream;
}

CGWindowImageOption imageOptions(const CaptureConfiguration& configuration) {
  CGWindowImageOption options = kCGWindowImageBestResolution;
  if (configuration.ignoresShadows) options |= kCGWindowImageBoundsIgnoreFraming;
  return options;
}

}  // namespace

struct MacScreenCaptureService::Impl : std::enable_shared_from_this<Impl> {
  MainLoop& loop;
  // The content the last listing returned; main thread only.
  SCShareableContent* content = nil;

  explicit Impl(MainLoop& l) : loop(l) {}

  SCWindow* windowWithID(std::uint32_t windowID) const {
    for (SCWindow* window in content.windows) {
      if (window.windowID == windowID) return window;
    }
    return nil;
  }

  SCDisplay* displayWithID(std::uint32_t displayID) const {
    for (SCDisplay* display in content.displays) {
      if (display.displayID == displayID) return display;
    }
    return nil;
  }

  void listContent(Completion<ShareableContent> done) {
    std::shared_ptr<Impl> self = shared_from_this();
    [SCShareableContent getShareableContentExcludingDesktopWindows:NO
                                               onScreenWindowsOnly:YES
                                                 completionHandler:^(SCShareableContent* listed, NSError* error) {
                                                   self->loop.post([self, listed, error, done] {
                                                     if (listed == nil) {
                                                       done(systemError(error));
                                                       return;
                                                     }
                                                     self->content = listed;
                                                     done(contentFrom(listed));
                                                   });
                                                 }];
  }

  API_AVAILABLE(macos(14.0))
  void screenshot(SCContentFilter* filter, SCStreamConfiguration* stream, Completion<Bitmap> done) {
    std::shared_ptr<Impl> self = shared_from_this();
    const int width = static_cast<int>(stream.width);
    const int height = static_cast<int>(stream.height);
    [SCScreenshotManager captureImageWithFilter:filter
                                  configuration:stream
                              completionHandler:^(CGImageRef image, NSError* error) {
                                // The image is only valid in here, so it is converted here.
                                auto result = std::make_shared<Result<Bitmap>>(bitmapFrom(image, error, width, height));
                                self->loop.post([result, done] { done(std::move(*result)); });
                              }];
  }

  // macOS 13: the window server's image, made off the main thread.
  void listImage(std::function<CGImageRef()> makeImage, int width, int height, Completion<Bitmap> done) {
    auto result = std::make_shared<std::optional<Result<Bitmap>>>();
    loop.runDetached(
        [makeImage, width, height, result] {
          auto image = MacCFRef<CGImageRef>::adopt(makeImage());
          result->emplace(bitmapFrom(image.get(), nil, width, height));
        },
        [result, done] { done(std::move(**result)); });
  }

  void captureWindow(std::uint32_t windowID, const CaptureConfiguration& configuration, Completion<Bitmap> done) {
    if (@available(macOS 14.0, *)) {
      SCWindow* window = windowWithID(windowID);
      if (window == nil) return done(ownError(windowNotFound));
      SCContentFilter* filter = [[SCContentFilter alloc] initWithDesktopIndependentWindow:window];
      return screenshot(filter, streamConfiguration(configuration, true), done);
    }
    const CGWindowImageOption options = imageOptions(configuration);
    listImage(
        [windowID, options] {
          return CGWindowListCreateImage(CGRectNull, kCGWindowListOptionIncludingWindow, windowID, options);
        },
        pixels(configuration.width), pixels(configuration.height), done);
  }

  void captureDisplay(std::uint32_t displayID, const std::vector<std::uint32_t>& windowIDs,
                      const CaptureConfiguration& configuration, Completion<Bitmap> done) {
    if (@available(macOS 14.0, *)) {
      SCDisplay* display = displayWithID(displayID);
      if (display == nil) return done(ownError(displayNotFound));
      NSMutableArray<SCWindow*>* windows = [NSMutableArray array];
      for (std::uint32_t windowID : windowIDs) {
        SCWindow* window = windowWithID(windowID);
        if (window == nil) return done(ownError(windowNotFound));
        [windows addObject:window];
      }
      SCContentFilter* filter = [[SCContentFilter alloc] initWithDisplay:display includingWindows:windows];
      return screenshot(filter, streamConfiguration(configuration, false), done);
    }
    // The source rectangle is display-local; the window list wants global coordinates.
    const CGRect bounds = CGDisplayBounds(displayID);
    const Rect& source = configuration.sourceRect;
    const CGRect area = CGRectMake(bounds.origin.x + source.x, bounds.origin.y + source.y, source.width, source.height);
    const CGWindowImageOption options = imageOptions(configuration);
    listImage(
        [windowIDs, area, options] {
          // An array of plain window numbers, not of objects: no callbacks.
          std::vector<const void*> values;
          for (std::uint32_t windowID : windowIDs)
            values.push_back(reinterpret_cast<const void*>(std::uintptr_t{windowID}));
          auto array = MacCFRef<CFArrayRef>::adopt(
              CFArrayCreate(kCFAllocatorDefault, values.data(), static_cast<CFIndex>(values.size()), nullptr));
          return CGWindowListCreateImageFromArray(area, array.get(), options);
        },
        pixels(configuration.width), pixels(configuration.height), done);
  }
};

MacScreenCaptureService::MacScreenCaptureService(MainLoop& loop) : impl_(std::make_shared<Impl>(loop)) {}

MacScreenCaptureService::~MacScreenCaptureService() = default;

bool MacScreenCaptureService::preflightPermission() { return CGPreflightScreenCaptureAccess(); }

bool MacScreenCaptureService::requestPermission() { return CGRequestScreenCaptureAccess(); }

Task<ShareableContent> MacScreenCaptureService::shareableContent() {
  std::function<void(Completion<ShareableContent>)> start = [impl = impl_](Completion<ShareableContent> done) {
    impl->listContent(done);
  };
  co_return co_await awaitCallback<ShareableContent>(impl_->loop, std::move(start));
}

double MacScreenCaptureService::pointPixelScaleForWindow(std::uint32_t windowID) {
  SCWindow* window = impl_->windowWithID(windowID);
  if (window == nil) return 1;
  if (@available(macOS 14.0, *)) {
    return [[SCContentFilter alloc] initWithDesktopIndependentWindow:window].pointPixelScale;
  }
  const CGRect frame = window.frame;
  CGDirectDisplayID display = 0;
  std::uint32_t count = 0;
  if (CGGetDisplaysWithPoint(CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame)), 1, &display, &count) !=
          kCGErrorSuccess ||
      count == 0) {
    return 1;
  }
  return backingScaleOfDisplay(display);
}

double MacScreenCaptureService::pointPixelScaleForDisplay(std::uint32_t displayID) {
  if (@available(macOS 14.0, *)) {
    if (SCDisplay* display = impl_->displayWithID(displayID)) {
      return [[SCContentFilter alloc] initWithDisplay:display excludingWindows:@[]].pointPixelScale;
    }
  }
  return backingScaleOfDisplay(displayID);
}

Task<Bitmap> MacScreenCaptureService::captureWindow(std::uint32_t windowID, CaptureConfiguration configuration) {
  std::function<void(Completion<Bitmap>)> start = [impl = impl_, windowID, configuration](Completion<Bitmap> done) {
    impl->captureWindow(windowID, configuration, done);
  };
  co_return co_await awaitCallback<Bitmap>(impl_->loop, std::move(start));
}

Task<Bitmap> MacScreenCaptureService::captureDisplay(std::uint32_t displayID, std::vector<std::uint32_t> windowIDs,
                                                     CaptureConfiguration configuration) {
  std::function<void(Completion<Bitmap>)> start = [impl = impl_, displayID, windowIDs = std::move(windowIDs),
                                                   configuration](Completion<Bitmap> done) {
    impl->captureDisplay(displayID, windowIDs, configuration, done);
  };
  co_return co_await awaitCallback<Bitmap>(impl_->loop, std::move(start));
}

}  // namespace quillon

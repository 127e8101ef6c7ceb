#include "mac/mac_workspace.h"

#import <AppKit/AppKit.h>
#include <signal.h>

#include <cerrno>
#include <memory>
#include <utility>

#include "core/async/main_loop.h"
#include "mac/mac_bitmap.h"
#include "mac/mac_notifications.h"

namespace quillon {

namespace {

std::optional<std::string> pathOf(NSURL* url) {
  if (url == nil || !url.fileURL || url.path == nil) return std::nullopt;
  return std::string(url.path.fileSystemRepresentation);
}

// Any bytes a path may hold, also those that are not UTF-8.
NSString* nsPath(const std::string& path) {
  return [[NSFileManager defaultManager] stringWithFileSystemRepresentation:path.c_str() length:path.size()];
}

std::optional<std::string> stringOf(NSString* string) {
  if (string == nil) return std::nullopt;
  return std::string(string.UTF8String);
}

// The process identifier stays the same after an exit and may be reused, so every
// check of this handle asks the NSRunningApplication first, which belongs to this
// process alone.
class MacRunningApplication final : public RunningApplication {
 public:
  explicit MacRunningApplication(NSRunningApplication* application)
      : application_(application),
        pid_(application.processIdentifier),
        bundlePath_(pathOf(application.bundleURL)),
        executablePath_(pathOf(application.executableURL)),
        bundleIdentifier_(stringOf(application.bundleIdentifier)) {}

  // RunningApplication:
  std::int32_t processIdentifier() const override { return pid_; }
  std::optional<std::string> bundlePath() const override { return bundlePath_; }
  std::optional<std::string> executablePath() const override { return executablePath_; }
  std::optional<std::string> bundleIdentifier() const override { return bundleIdentifier_; }
  bool isTerminated() const override { return application_.terminated; }
  // The request is also refused for an application that has just exited, before the
  // terminated property catches up with the next turn of the run loop; that one has
  // gone, which counts as accepted.
  bool requestTermination() override {
    if (application_.terminated || [application_ terminate]) return true;
    return probe() == ESRCH;
  }
  int probe() const override {
    if (application_.terminated || pid_ < 1) return ESRCH;
    return ::kill(pid_, 0) == 0 ? 0 : errno;
  }
  Subscription observeTermination(MainLoop& loop, std::function<void()> exited) override {
    auto live = std::make_shared<std::function<void()>>(std::move(exited));
    // Once only: the notification and the check below may both see the exit.
    auto fire = [&loop, live] {
      loop.post([live] {
        if (auto call = std::exchange(*live, nullptr)) call();
      });
    };
    const pid_t pid = pid_;
    auto observed = std::make_shared<Subscription>(macObserve([[NSWorkspace sharedWorkspace] notificationCenter],
                                                              NSWorkspaceDidTerminateApplicationNotification,
                                                              [fire, pid](NSNotification* note) {
                                                                id gone = note.userInfo[NSWorkspaceApplicationKey];
                                                                if (![gone isKindOfClass:[NSRunningApplication class]])
                                                                  return;
                                                                NSRunningApplication* application = gone;
                                                                if (application.processIdentifier == pid) fire();
                                                              }));
    // An exit before the observer was in place has no notification left to send.
    if (application_.terminated) fire();
    return Subscription([observed, live] {
      *live = nullptr;
      observed->reset();
    });
  }

 private:
  NSRunningApplication* application_;
  pid_t pid_;
  std::optional<std::string> bundlePath_;
  std::optional<std::string> executablePath_;
  std::optional<std::string> bundleIdentifier_;
};

std::vector<ApplicationHandle> currentApplications() {
  std::vector<ApplicationHandle> applications;
  for (NSRunningApplication* application in [[NSWorkspace sharedWorkspace] runningApplications]) {
    applications.push_back(std::make_shared<MacRunningApplication>(application));
  }
  return applications;
}

int posixCodeOf(NSError* error) {
  for (NSError* step = error; step != nil; step = step.userInfo[NSUnderlyingErrorKey]) {
    if (![step isKindOfClass:[NSError class]]) break;
    if ([step.domain isEqualToString:NSPOSIXErrorDomain]) return static_cast<int>(step.code);
  }
  return EIO;
}

}  // namespace

Task<std::vector<ApplicationHandle>> MacWorkspace::runningApplications() {
  // The workspace keeps this list up to date on the main thread, so reading it is cheap.
  co_return currentApplications();
}

void MacWorkspace::openApplication(const std::string& bundlePath, OpenCompletion completion) {
  NSURL* url = [NSURL fileURLWithPath:nsPath(bundlePath) isDirectory:YES];
  NSWorkspaceOpenConfiguration* configuration = [NSWorkspaceOpenConfiguration configuration];
  configuration.activates = NO;
  configuration.hides = NO;
  configuration.allowsRunningApplicationSubstitution = NO;
  MainLoop* loop = &loop_;
  auto done = std::make_shared<OpenCompletion>(std::move(completion));
  [[NSWorkspace sharedWorkspace]
      openApplicationAtURL:url
             configuration:configuration
         completionHandler:^(NSRunningApplication* application, NSError* error) {
           // Called on a concurrent queue; the handle is made and handed over on the main
           // thread, where the running application's properties are kept up to date.
           loop->post([done, application, error] {
             if (application != nil) {
               (*done)(ApplicationHandle(std::make_shared<MacRunningApplication>(application)));
             } else {
               (*done)(std::make_exception_ptr(LaunchOpenApplicationError{posixCodeOf(error)}));
             }
           });
         }];
}

std::optional<Bitmap> MacWorkspace::iconForBundle(const std::string& bundlePath, int pixelSize) const {
  NSString* path = nsPath(bundlePath);
  if (pixelSize <= 0 || ![[NSFileManager defaultManager] fileExistsAtPath:path]) return std::nullopt;
  NSImage* icon = [[NSWorkspace sharedWorkspace] iconForFile:path];
  // The representation nearest the size; drawn at exactly that size below.
  NSRect rect = NSMakeRect(0, 0, pixelSize, pixelSize);
  CGImageRef image = [icon CGImageForProposedRect:&rect context:nil hints:nil];
  return macBitmapFromImage(image, pixelSize, pixelSize);
}

bool MacWorkspace::prefersReducedMotion() const {
  return [[NSWorkspace sharedWorkspace] accessibilityDisplayShouldReduceMotion];
}

bool MacWorkspace::openUrl(const Url& url) {
  NSString* text = [NSString stringWithUTF8String:url.absoluteString().c_str()];
  NSURL* target = text != nil ? [NSURL URLWithString:text] : nil;
  return target != nil && [[NSWorkspace sharedWorkspace] openURL:target];
}

}  // namespace quillon

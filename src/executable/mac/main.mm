#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <QApplication>

#include "core/localization/l10n.h"
#include "core/platform/alert_presenter.h"
#include "core/platform/log_sink.h"
#include "core/product/app_delegate.h"
#include "core/product/data_directory.h"
#include "core/product/quillon_composition.h"
#include "executable/mac/mac_platform.h"
#include "executable/quillon_command_line.h"
#include "mac/mac_locale.h"

namespace {

// SIGTERM and SIGINT end the run as the menu's quit does. The main loop watches a
// descriptor, so each signal becomes a byte on a pipe: the dispatch sources run on the
// main queue, and the default action is ignored so that only they see the signals.
int signalDescriptor() {
  int ends[2];
  if (::pipe(ends) != 0) return -1;
  for (int end : ends) {
    ::fcntl(end, F_SETFD, FD_CLOEXEC);
    ::fcntl(end, F_SETFL, O_NONBLOCK);
  }
  const int writeEnd = ends[1];
  for (int number : {SIGTERM, SIGINT}) {
    ::signal(number, SIG_IGN);
    dispatch_source_t source = dispatch_source_create(DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(number), 0,
                                                      dispatch_get_main_queue());
    dispatch_source_set_event_handler(source, ^{
      const char byte = 1;
      [[maybe_unused]] const auto written = ::write(writeEnd, &byte, 1);
    });
    dispatch_resume(source);
    // Kept for the life of the process.
    static NSMutableArray* sources = [NSMutableArray array];
    [sources addObject:source];
  }
  return ends[0];
}

}  // namespace

// Builds the platform, takes the instance lock and runs until the menu's quit, SIGTERM
// or SIGINT (status 0); a second instance exits 0 at once; a start failure exits 1.
// --help and --version answer without a window server connection and touch nothing.
int main(int argc, char** argv) {
  using namespace quillon;
  const auto commandLine = QuillonCommandLine::parse(argc, argv);
  switch (commandLine.action) {
    case QuillonCommandLine::Action::printHelp:
      L10n::usePreferredLanguage(MacLocale().preferredLanguage());
      std::fputs(QuillonCommandLine::helpText().c_str(), stdout);
      return 0;
    case QuillonCommandLine::Action::printVersion:
      std::fputs(QuillonCommandLine::versionText().c_str(), stdout);
      return 0;
    case QuillonCommandLine::Action::run: break;
  }
  const int stopFd = signalDescriptor();
  auto platform = makeMacPlatform(argc, argv);

  NSURL* applicationSupport = [[NSFileManager defaultManager] URLsForDirectory:NSApplicationSupportDirectory
                                                                     inDomains:NSUserDomainMask]
                                  .firstObject;
  if (applicationSupport == nil) {
    platform->log->log("[Quillon/startup] no Application Support directory; stopping");
    return AppDelegate::startFailureStatus;
  }
  if (stopFd < 0) {
    platform->log->log("[Quillon/startup] no pipe for the termination signals; stopping");
    return AppDelegate::startFailureStatus;
  }
  const std::string path = applicationSupport.path.fileSystemRepresentation;
  // A fresh account may not have the folder yet; the lock reports what still fails.
  DataDirectory::createMissingPrivately(path);

  QuillonComposition composition(
      platform->ports(), DataDirectory::url(Url::fileUrl(path, true)),
      {platform->ownApplication, static_cast<std::int32_t>(::getpid()), commandLine.showOnboarding,
       commandLine.showSettings, [](int exitStatus) { QApplication::exit(exitStatus); },
       [](const Alert& alert) {
         std::fprintf(stderr, "%s\n%s\n", alert.messageText.c_str(), alert.informativeText.c_str());
       }});
  const auto stopWatch = platform->loop->watchReadable(stopFd, [&composition, stopFd] {
    char bytes[16];
    while (::read(stopFd, bytes, sizeof bytes) > 0) {
    }
    composition.quit(0);
  });
  // From inside the loop, so that a terminate during the launch finds it running.
  platform->loop->post([&composition] { composition.applicationDidFinishLaunching(); });
  QApplication::exec();
  platform->loop->unwatch(stopWatch);
  composition.applicationWillTerminate();
  return composition.exitStatus();
}

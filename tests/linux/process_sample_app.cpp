// A stand-in notch app for the process tests and the benchmark. It is copied into
// sample .app bundles as their executable and takes its behaviour from its bundle's
// Info.plist (key "QuillonSampleBehavior"), since a workspace launch passes no
// arguments; a first argument overrides it.
//
//   exitOnTerm       (default) quits on SIGTERM
//   exitOnTermAfter  quits 300 ms after SIGTERM
//   ignoreTerm       ignores SIGTERM
//   exitAtOnce       quits immediately
//
// Whatever happens to the test that started it, it never lives longer than five
// minutes.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

volatile sig_atomic_t terminationRequested = 0;

void onTerm(int) { terminationRequested = 1; }

std::string behaviourFromInfoPlist() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  std::string executable(path, static_cast<std::size_t>(length));
  // <bundle>/Contents/MacOS/<file> -> <bundle>/Contents/Info.plist
  const auto macos = executable.rfind('/');
  if (macos == std::string::npos) return {};
  const auto contents = executable.rfind('/', macos - 1);
  if (contents == std::string::npos) return {};
  std::ifstream file(executable.substr(0, contents) + "/Info.plist");
  std::stringstream text;
  text << file.rdbuf();
  const std::string info = text.str();
  const auto key = info.find("<key>QuillonSampleBehavior</key>");
  if (key == std::string::npos) return {};
  const auto open = info.find("<string>", key);
  const auto close = info.find("</string>", open);
  if (open == std::string::npos || close == std::string::npos) return {};
  return info.substr(open + 8, close - open - 8);
}

void waitForTermination() {
  sigset_t term, previous;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  sigprocmask(SIG_BLOCK, &term, &previous);
  struct sigaction action {};
  action.sa_handler = onTerm;
  sigaction(SIGTERM, &action, nullptr);
  while (terminationRequested == 0) sigsuspend(&previous);
}

}  // namespace

int main(int argc, char** argv) {
  alarm(300);
  const std::string behaviour = argc > 1 ? argv[1] : behaviourFromInfoPlist();
  if (behaviour == "exitAtOnce") return 0;
  if (behaviour == "ignoreTerm") {
    signal(SIGTERM, SIG_IGN);
    for (;;) pause();
  }
  waitForTermination();
  if (behaviour == "exitOnTermAfter") {
    const timespec delay{0, 300'000'000};
    nanosleep(&delay, nullptr);
  }
  return 0;
}

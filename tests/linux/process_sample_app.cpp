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

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

volatile sig_atomic_t terminationRequested = 0;

void onTerm(int) { terminationRequested = 1; }

// <bundle>/Contents/MacOS/<file> -> <bundle>/Contents/Info.plist
std::string behaviourFromInfoPlist() {
  std::error_code error;
  const auto contents = std::filesystem::read_symlink("/proc/self/exe", error).parent_path().parent_path();
  std::ifstream file(contents / "Info.plist");
  const std::string info{std::istreambuf_iterator<char>(file), {}};
  const auto key = info.find("<key>QuillonSampleBehavior</key>");
  const auto open = info.find("<string>", key);
  const auto close = info.find("</string>", open);
  if (key == std::string::npos || close == std::string::npos) return {};
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

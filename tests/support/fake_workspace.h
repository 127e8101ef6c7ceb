#pragma once

#include <cerrno>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/async/task.h"
#include "core/platform/workspace.h"

namespace quillon {

// A running application whose every answer the test sets.
class FakeRunningApplication final : public RunningApplication {
 public:
  std::int32_t pid = 500;
  std::optional<std::string> bundle;
  std::optional<std::string> executable;
  std::optional<std::string> identifier;
  bool terminated = false;
  bool acceptsTermination = true;
  int probeError = 0;
  int terminationRequests = 0;
  mutable int probes = 0;
  // Run when the application is asked to quit and accepts, and when its identifier is
  // read (say, to make time pass while the caller checks who it is).
  std::function<void()> onTerminationRequest;
  std::function<void()> onIdentifierRead;

  static std::shared_ptr<FakeRunningApplication> make(std::int32_t pid, std::optional<std::string> bundlePath,
                                                      std::optional<std::string> bundleIdentifier = std::nullopt) {
    auto application = std::make_shared<FakeRunningApplication>();
    application->pid = pid;
    application->bundle = std::move(bundlePath);
    application->identifier = std::move(bundleIdentifier);
    return application;
  }

  std::int32_t processIdentifier() const override { return pid; }
  std::optional<std::string> bundlePath() const override { return bundle; }
  std::optional<std::string> executablePath() const override { return executable; }
  std::optional<std::string> bundleIdentifier() const override {
    if (onIdentifierRead) onIdentifierRead();
    return identifier;
  }
  bool isTerminated() const override { return terminated; }
  bool requestTermination() override {
    ++terminationRequests;
    if (acceptsTermination && onTerminationRequest) onTerminationRequest();
    return acceptsTermination;
  }
  int probe() const override {
    ++probes;
    return terminated ? ESRCH : probeError;
  }
  // Only when `notifiesExit` is set; `exit()` then tells the observers.
  bool notifiesExit = false;
  Subscription observeTermination(MainLoop&, std::function<void()> exited) override {
    if (!notifiesExit) return {};
    return exitObservers_.subscribe(std::move(exited));
  }
  void exit() {
    terminated = true;
    exitObservers_.notify();
  }

 private:
  ObserverList<> exitObservers_;
};

// A workspace with a settable list of running applications. Open requests go to
// `answerOpen` when it is set, so a test decides when and how an open ends, and wait
// for ever otherwise; `opened` records the bundle paths asked for.
class FakeWorkspace final : public Workspace {
 public:
  std::vector<ApplicationHandle> applications;
  bool reduceMotion = false;
  std::optional<Bitmap> icon;  // every bundle's icon

  // With a loop set, a scan waits for releaseScan() and then returns the list as it was
  // when it began, as a slow scan off the main thread does.
  MainLoop* holdScansOn = nullptr;
  void releaseScan() { std::exchange(heldScan_, nullptr)(); }

  Task<std::vector<ApplicationHandle>> runningApplications() override {
    auto list = applications;
    if (holdScansOn != nullptr) {
      co_await awaitCallback<bool>(*holdScansOn, [this](Completion<bool> done) { heldScan_ = [done] { done(true); }; });
    }
    co_return list;
  }
  std::vector<std::string> opened;
  std::function<void(const std::string& bundlePath, OpenCompletion)> answerOpen;

  void openApplication(const std::string& bundlePath, OpenCompletion completion) override {
    opened.push_back(bundlePath);
    if (answerOpen) {
      answerOpen(bundlePath, std::move(completion));
    } else {
      pending_.push_back(std::move(completion));
    }
  }
  std::optional<Bitmap> iconForBundle(const std::string&, int) const override { return icon; }
  bool prefersReducedMotion() const override { return reduceMotion; }
  bool openUrl(const Url&) override { return true; }

 private:
  std::deque<OpenCompletion> pending_;
  std::function<void()> heldScan_;
};

}  // namespace quillon

#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/platform/screen_capture_service.h"

namespace quillon {

// Shareable content and images set by the test; failures scripted per call; every
// capture recorded with its arguments. Tasks complete on their first resumption.
class FakeScreenCaptureService final : public ScreenCaptureService {
 public:
  struct CaptureRequest {
    std::optional<std::uint32_t> windowID;   // a single-window capture
    std::optional<std::uint32_t> displayID;  // a display capture
    std::vector<std::uint32_t> windowIDs;
    CaptureConfiguration configuration;
  };

  void setPermission(bool granted) { permission_ = granted; }
  void setContent(ShareableContent content) { content_ = std::move(content); }
  // The next content read fails with the platform's `domain` and `code`.
  void failNextContent(PlatformFailure failure) { contentFailures_.push_back(failed(std::move(failure))); }
  // The next content read waits until `releaseContent`, as a system that is slow to
  // answer; its waits are resumed through `loop`.
  void holdNextContent(MainLoop& loop) { holdLoop_ = &loop; }
  bool isHoldingContent() const { return held_.has_value(); }
  void releaseContent() {
    if (!held_) return;
    auto completion = std::move(*held_);
    held_.reset();
    completion(Result<void>());
  }
  void setScale(double scale) { scale_ = scale; }
  // The image of one window; display captures use `setDisplayImage`.
  void setWindowImage(std::uint32_t windowID, Bitmap image) { windowImages_[windowID] = std::move(image); }
  void setDisplayImage(Bitmap image) { displayImage_ = std::move(image); }
  void failNextCapture(PlatformFailure failure) { captureFailures_.push_back(failed(std::move(failure))); }
  // Runs inside every capture call, after it is recorded: what happens on screen while
  // the image is taken (a window moves, the app quits, time passes).
  void setDuringCapture(std::function<void()> hook) { duringCapture_ = std::move(hook); }

  const std::vector<CaptureRequest>& captures() const { return captures_; }

  // ScreenCaptureService:
  bool preflightPermission() override { return permission_; }
  bool requestPermission() override { return permission_; }
  Task<ShareableContent> shareableContent() override {
    if (auto* loop = std::exchange(holdLoop_, nullptr)) {
      std::function<void(Completion<void>)> start = [this](Completion<void> done) { held_.emplace(std::move(done)); };
      auto holding = awaitCallback<void>(*loop, std::move(start));
      co_await holding;
    }
    if (!contentFailures_.empty()) {
      auto error = std::move(contentFailures_.front());
      contentFailures_.pop_front();
      throw error;
    }
    co_return content_;
  }
  double pointPixelScaleForWindow(std::uint32_t) override { return scale_; }
  double pointPixelScaleForDisplay(std::uint32_t) override { return scale_; }
  Task<Bitmap> captureWindow(std::uint32_t windowID, CaptureConfiguration configuration) override {
    captures_.push_back({windowID, std::nullopt, {}, configuration});
    if (duringCapture_) duringCapture_();
    if (auto error = nextFailure()) throw *error;
    auto found = windowImages_.find(windowID);
    if (found == windowImages_.end()) throw LaunchCaptureServiceError::of("FakeCapture", 1);
    co_return found->second;
  }
  Task<Bitmap> captureDisplay(std::uint32_t displayID, std::vector<std::uint32_t> windowIDs,
                              CaptureConfiguration configuration) override {
    captures_.push_back({std::nullopt, displayID, windowIDs, configuration});
    if (duringCapture_) duringCapture_();
    if (auto error = nextFailure()) throw *error;
    if (!displayImage_) throw LaunchCaptureServiceError::of("FakeCapture", 2);
    co_return *displayImage_;
  }

 private:
  static Error failed(PlatformFailure failure) {
    return LaunchCaptureServiceError::of(std::move(failure.domain), failure.code);
  }
  std::optional<Error> nextFailure() {
    if (captureFailures_.empty()) return std::nullopt;
    auto error = std::move(captureFailures_.front());
    captureFailures_.pop_front();
    return error;
  }

  bool permission_ = true;
  double scale_ = 1.0;
  ShareableContent content_;
  std::deque<Error> contentFailures_;
  std::deque<Error> captureFailures_;
  std::map<std::uint32_t, Bitmap> windowImages_;
  std::optional<Bitmap> displayImage_;
  std::vector<CaptureRequest> captures_;
  std::function<void()> duringCapture_;
  MainLoop* holdLoop_ = nullptr;
  std::optional<Completion<void>> held_;
};

}  // namespace quillon

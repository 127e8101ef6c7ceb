#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <utility>

namespace quillon {

// Owns one Core Foundation reference. The Create and Copy functions hand the caller a
// reference to release, the Get functions do not; a Get result released by mistake
// crashes much later in someone else's code, a forgotten release leaks a window list per
// poll. So every reference is taken on purpose, through `adopt` (Create/Copy) or `retain`
// (Get).
template <class T>
class MacCFRef {
 public:
  MacCFRef() = default;
  static MacCFRef adopt(T ref) {
    MacCFRef owned;
    owned.ref_ = ref;
    return owned;
  }
  static MacCFRef retain(T ref) {
    if (ref != nullptr) CFRetain(ref);
    return adopt(ref);
  }
  MacCFRef(MacCFRef&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
  MacCFRef& operator=(MacCFRef&& other) noexcept {
    if (this != &other) {
      reset();
      ref_ = std::exchange(other.ref_, nullptr);
    }
    return *this;
  }
  MacCFRef(const MacCFRef&) = delete;
  MacCFRef& operator=(const MacCFRef&) = delete;
  ~MacCFRef() { reset(); }

  void reset() {
    if (ref_ != nullptr) CFRelease(ref_);
    ref_ = nullptr;
  }
  T get() const { return ref_; }
  explicit operator bool() const { return ref_ != nullptr; }

 private:
  T ref_ = nullptr;
};

}  // namespace quillon

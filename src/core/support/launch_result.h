#pragma once

#include <exception>
#include <optional>
#include <utility>
#include <variant>

namespace quillon {

// The outcome of an asynchronous step: a value or the error it threw. Used where a
// result crosses a callback instead of a `co_await` (late results, completions).
template <class T>
class LaunchResult {
 public:
  LaunchResult(T value) : state_(std::in_place_index<0>, std::move(value)) {}        // NOLINT
  LaunchResult(std::exception_ptr error) : state_(std::in_place_index<1>, error) {}  // NOLINT

  bool hasValue() const { return state_.index() == 0; }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  std::exception_ptr error() const { return hasValue() ? nullptr : std::get<1>(state_); }

  // The value, or the error rethrown.
  T get() && {
    if (!hasValue()) std::rethrow_exception(std::get<1>(state_));
    return std::move(std::get<0>(state_));
  }

 private:
  std::variant<T, std::exception_ptr> state_;
};

template <>
class LaunchResult<void> {
 public:
  LaunchResult() = default;
  LaunchResult(std::exception_ptr error) : error_(error) {}  // NOLINT

  bool hasValue() const { return error_ == nullptr; }
  std::exception_ptr error() const { return error_; }
  void get() && {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  std::exception_ptr error_;
};

// The error of type E that `result` failed with (matched by catch, copied out); none
// for a value or another error.
template <class E, class T>
std::optional<E> failure(const LaunchResult<T>& result) {
  if (result.hasValue()) return std::nullopt;
  try {
    std::rethrow_exception(result.error());
  } catch (const E& error) {
    return error;
  } catch (...) {
    return std::nullopt;
  }
}

// True when `result` failed with an error of type E.
template <class E, class T>
bool failedWith(const LaunchResult<T>& result) {
  return failure<E>(result).has_value();
}

}  // namespace quillon

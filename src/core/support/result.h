#pragma once

#include <exception>
#include <optional>
#include <utility>
#include <variant>

#include "core/support/error.h"

namespace quillon {

// The outcome of a step: a value, the product's failure as the `Error` it is, or
// an exception that is no failure of the product (a cancellation, a fault). Returned by
// synchronous steps that can fail, and used where a result crosses a callback instead
// of a `co_await` (late results, completions).
template <class T>
class Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}        // NOLINT
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}    // NOLINT
  Result(std::exception_ptr error) : state_(std::in_place_index<2>, error) {}  // NOLINT

  bool hasValue() const { return state_.index() == 0; }
  T& value() { return std::get<0>(state_); }
  const T& value() const { return std::get<0>(state_); }
  // The product's failure; none for a value or a foreign exception.
  const Error* failure() const { return std::get_if<1>(&state_); }
  // Any failure as an exception (a Error is thrown by value); none for a value.
  std::exception_ptr error() const {
    if (const auto* error = failure()) return std::make_exception_ptr(*error);
    return hasValue() ? nullptr : std::get<2>(state_);
  }

  // The value, or the failure thrown.
  T get() && {
    if (const auto* error = failure()) throw *error;
    if (!hasValue()) std::rethrow_exception(std::get<2>(state_));
    return std::move(std::get<0>(state_));
  }

 private:
  std::variant<T, Error, std::exception_ptr> state_;
};

template <>
class Result<void> {
 public:
  Result() = default;
  Result(Error error) : failure_(std::move(error)) {}      // NOLINT
  Result(std::exception_ptr error) : exception_(error) {}  // NOLINT

  bool hasValue() const { return !failure_ && exception_ == nullptr; }
  const Error* failure() const { return failure_ ? &*failure_ : nullptr; }
  std::exception_ptr error() const { return failure_ ? std::make_exception_ptr(*failure_) : exception_; }
  void get() && {
    if (failure_) throw *failure_;
    if (exception_) std::rethrow_exception(exception_);
  }

 private:
  std::optional<Error> failure_;
  std::exception_ptr exception_;
};

// The outcome of `body()`: its value, the Error it threw, or any other exception.
// For steps that run where nothing may escape (a worker thread, a task's root).
template <class T, class Body>
Result<T> resultOf(Body&& body) {
  try {
    if constexpr (std::is_void_v<T>) {
      body();
      return {};
    } else {
      return body();
    }
  } catch (const Error& error) {
    return error;
  } catch (...) {
    return std::current_exception();
  }
}

// The Error that `result` failed with; none for a value or a foreign exception.
template <class T>
std::optional<Error> failure(const Result<T>& result) {
  if (const auto* error = result.failure()) return *error;
  return std::nullopt;
}

// True when `result` failed with an exception of type E that is not a Error (a
// cancellation, a fault): for tests that tell foreign exceptions apart.
template <class E, class T>
bool failedWith(const Result<T>& result) {
  if (result.hasValue() || result.failure() != nullptr) return false;
  try {
    std::rethrow_exception(result.error());
  } catch (const E&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace quillon

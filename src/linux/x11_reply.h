#pragma once

#include <cstdlib>
#include <memory>

namespace quillon {

// XCB hands out replies, errors and events in malloc'd memory that the caller must free.
// Holding each one in this pointer means no early return in the adapters can leak one.
struct XcbFree {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using XcbReply = std::unique_ptr<T, XcbFree>;

}  // namespace quillon

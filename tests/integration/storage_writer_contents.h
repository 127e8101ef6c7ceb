#pragma once

#include "core/support/bytes.h"

namespace quillon {

// The two contents the writer alternates: different lengths and bytes, so a truncated
// or mixed file can never pass for either.
inline const Bytes& storageWriterFirstContent() {
  static const Bytes content = [] {
    Bytes data(48 * 1024 + 7);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>('a' + i % 26);
    return data;
  }();
  return content;
}

inline const Bytes& storageWriterSecondContent() {
  static const Bytes content = [] {
    Bytes data(80 * 1024 + 3);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>('0' + i % 10);
    return data;
  }();
  return content;
}

}  // namespace quillon

#pragma once

#include "core/support/bytes.h"

namespace quillon {

// The two contents the writer alternates: different lengths and bytes, so a truncated
// or mixed file can never pass for either.
inline Bytes storageWriterContent(std::size_t size, std::uint8_t first, std::size_t period) {
  Bytes data(size);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(first + i % period);
  return data;
}
inline const Bytes& storageWriterFirstContent() {
  static const Bytes content = storageWriterContent(48 * 1024 + 7, 'a', 26);
  return content;
}
inline const Bytes& storageWriterSecondContent() {
  static const Bytes content = storageWriterContent(80 * 1024 + 3, '0', 10);
  return content;
}

}  // namespace quillon

#include "core/support/uuid.h"

#include <unistd.h>

#include <algorithm>
#include <exception>

namespace quillon {

Uuid Uuid::random() {
  Uuid uuid;
  // getentropy (POSIX 2024, and on macOS and the BSDs) fills up to 256 bytes in one call
  // and is never cut short by a signal.
  if (::getentropy(uuid.bytes_.data(), uuid.bytes_.size()) != 0) {
    std::terminate();  // no entropy source at all: nothing safe to fall back to
  }
  uuid.bytes_[6] = static_cast<std::uint8_t>((uuid.bytes_[6] & 0x0F) | 0x40);
  uuid.bytes_[8] = static_cast<std::uint8_t>((uuid.bytes_[8] & 0x3F) | 0x80);
  return uuid;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  Uuid uuid;
  std::size_t byte = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    auto nibble = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    const int high = nibble(text[i]);
    const int low = i + 1 < text.size() ? nibble(text[i + 1]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    uuid.bytes_[byte++] = static_cast<std::uint8_t>(high * 16 + low);
    i += 2;
  }
  return uuid;
}

std::string Uuid::toString() const {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(digits[bytes_[i] >> 4]);
    text.push_back(digits[bytes_[i] & 0x0F]);
  }
  return text;
}

bool Uuid::isNil() const {
  return std::all_of(bytes_.begin(), bytes_.end(), [](auto b) { return b == 0; });
}

}  // namespace quillon

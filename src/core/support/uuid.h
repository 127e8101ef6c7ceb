#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// A random (version 4) UUID. Text form is upper-case hexadecimal with hyphens, the
// way the platform formats UUIDs, because it appears in stored file names and records.
class Uuid {
 public:
  Uuid() = default;  // the nil UUID
  static Uuid random();
  // Accepts either case; anything but 8-4-4-4-12 hexadecimal digits is rejected.
  static std::optional<Uuid> parse(std::string_view text);

  std::string toString() const;
  const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
  bool isNil() const;

  friend auto operator<=>(const Uuid&, const Uuid&) = default;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace quillon

template <>
struct std::hash<quillon::Uuid> {
  std::size_t operator()(const quillon::Uuid& uuid) const noexcept {
    std::size_t value = 0;
    for (auto byte : uuid.bytes()) value = value * 131 + byte;
    return value;
  }
};

#pragma once

#include <fmt/format.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon {

// A user-facing text: a Japanese source text whose literal parts form the lookup key
// (with "%" doubled so it survives formatting) and whose interpolated values become
// positional placeholders "%1$@", "%2$@", ... in the key.
//
//   LocalizedText("設定…")                              key "設定…"
//   LocalizedText::format("{}を追加しました", name)       key "%1$@を追加しました"
class LocalizedText {
 public:
  explicit LocalizedText(std::string_view source);

  // `pattern` marks each interpolated value with "{}"; values are formatted with fmt.
  template <class... Args>
  static LocalizedText format(std::string_view pattern, Args&&... args) {
    return LocalizedText(pattern, {fmt::to_string(std::forward<Args>(args))...});
  }

  const std::string& key() const { return key_; }
  const std::vector<std::string>& arguments() const { return arguments_; }

  friend bool operator==(const LocalizedText&, const LocalizedText&) = default;

 private:
  LocalizedText(std::string_view pattern, std::vector<std::string> arguments);
  std::string key_;
  std::vector<std::string> arguments_;
};

}  // namespace quillon

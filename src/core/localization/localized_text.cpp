#include "core/localization/localized_text.h"

namespace quillon {

namespace {
void appendLiteral(std::string& key, std::string_view literal) {
  for (char c : literal) {
    key.push_back(c);
    if (c == '%') key.push_back('%');
  }
}
}  // namespace

LocalizedText::LocalizedText(std::string_view source) { appendLiteral(key_, source); }

LocalizedText::LocalizedText(std::string_view pattern, std::vector<std::string> arguments)
    : arguments_(std::move(arguments)) {
  std::size_t index = 0;
  std::size_t start = 0;
  while (true) {
    const auto marker = pattern.find("{}", start);
    if (marker == std::string_view::npos || index >= arguments_.size()) {
      appendLiteral(key_, pattern.substr(start));
      break;
    }
    appendLiteral(key_, pattern.substr(start, marker - start));
    key_ += "%" + std::to_string(++index) + "$@";
    start = marker + 2;
  }
}

}  // namespace quillon

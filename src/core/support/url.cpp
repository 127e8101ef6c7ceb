#include "core/support/url.h"

#include <cctype>
#include <vector>

namespace quillon {

namespace {
bool isUnreservedPathChar(unsigned char c) {
  return std::isalnum(c) != 0 || c == '/' || c == '-' || c == '.' || c == '_' || c == '~' || c == '!' || c == '$' ||
         c == '&' || c == '\'' || c == '(' || c == ')' || c == '*' || c == '+' || c == ',' || c == ';' || c == '=' ||
         c == ':' || c == '@';
}
int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string percentEncodePath(std::string_view path) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (isUnreservedPathChar(c)) {
      out.push_back(ch);
    } else {
      out.push_back('%');
      out.push_back(digits[c >> 4]);
      out.push_back(digits[c & 0x0F]);
    }
  }
  return out;
}

std::string percentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string standardizePath(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    auto end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    auto part = path.substr(start, end - start);
    if (part.empty() || part == ".") {
      // folded
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (auto part : parts) {
    out.push_back('/');
    out.append(part);
  }
  return out.empty() ? "/" : out;
}

Url Url::fileUrl(std::string_view absolutePath, bool isDirectory) {
  std::string path(absolutePath);
  if (isDirectory && (path.empty() || path.back() != '/')) path.push_back('/');
  return Url("file://" + percentEncodePath(path));
}

std::optional<Url> Url::parse(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  if (std::isalpha(static_cast<unsigned char>(text[0])) == 0) return std::nullopt;
  for (std::size_t i = 1; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (std::isalnum(c) == 0 && c != '+' && c != '-' && c != '.') return std::nullopt;
  }
  return Url(std::string(text));
}

std::string Url::scheme() const {
  std::string scheme = text_.substr(0, text_.find(':'));
  for (auto& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme;
}

bool Url::isFileUrl() const {
  if (scheme() != "file") return false;
  std::string_view rest(text_);
  rest.remove_prefix(5);
  if (rest.substr(0, 2) != "//") return rest.substr(0, 1) == "/";
  rest.remove_prefix(2);
  const auto host = rest.substr(0, rest.find('/'));
  return (host.empty() || host == "localhost") && rest.find('/') != std::string_view::npos;
}

std::string Url::rawPath() const {
  if (!isFileUrl()) return {};
  std::string_view rest(text_);
  rest.remove_prefix(5);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    rest.remove_prefix(rest.find('/'));
  }
  rest = rest.substr(0, rest.find_first_of("?#"));
  return std::string(rest);
}

std::string Url::path() const {
  std::string path = percentDecode(rawPath());
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool Url::hasDirectoryPath() const {
  const auto raw = rawPath();
  return !raw.empty() && raw.back() == '/';
}

std::string Url::lastPathComponent() const {
  const auto p = path();
  const auto slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string Url::pathExtension() const {
  const auto name = lastPathComponent();
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

Url Url::standardized() const {
  if (!isFileUrl()) return *this;
  return fileUrl(standardizePath(path()), hasDirectoryPath());
}

}  // namespace quillon

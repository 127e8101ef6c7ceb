#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// A URL as the registry stores it ("file:///Applications/Notch%20A.app/"). Bundle
// locations travel as URLs so that a stored non-file URL can be recognised and refused
// rather than silently treated as a path.
class Url {
 public:
  Url() = default;
  // A file URL for an absolute path; a directory URL ends in "/".
  static Url fileUrl(std::string_view absolutePath, bool isDirectory);
  // Any "scheme:rest" string; none when there is no valid scheme.
  static std::optional<Url> parse(std::string_view text);

  const std::string& absoluteString() const { return text_; }
  std::string scheme() const;
  bool isFileUrl() const;
  // The percent-decoded path of a file URL, without a trailing "/" (except for "/").
  std::string path() const;
  bool hasDirectoryPath() const;
  std::string lastPathComponent() const;
  // The part after the last "." of the last component, as written ("APP" stays "APP").
  std::string pathExtension() const;
  // "." and ".." segments resolved lexically, repeated "/" folded.
  Url standardized() const;

  friend bool operator==(const Url&, const Url&) = default;

 private:
  explicit Url(std::string text) : text_(std::move(text)) {}
  std::string rawPath() const;
  std::string text_;
};

std::string percentEncodePath(std::string_view path);
std::string percentDecode(std::string_view text);
// Lexically normalised absolute path: "." and ".." resolved, "//" folded, no trailing "/".
std::string standardizePath(std::string_view path);

}  // namespace quillon

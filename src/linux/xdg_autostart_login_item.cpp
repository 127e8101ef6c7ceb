#include "linux/xdg_autostart_login_item.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <system_error>

#include "core/product/data_directory.h"

namespace quillon {

namespace {

// The Exec key's quoting: an argument with a space or a reserved character goes in
// double quotes, inside which `"`, `` ` ``, `$` and `\` are escaped; a literal "%" is "%%".
std::string execArgument(const std::string& path) {
  std::string quoted;
  bool needsQuotes = false;
  for (const char c : path) {
    if (c == '%') {
      quoted += "%%";
      continue;
    }
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos) needsQuotes = true;
    quoted += c;
  }
  return needsQuotes ? "\"" + quoted + "\"" : quoted;
}

bool writeAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(std::string configHome, std::string executable)
    : configHome_(std::move(configHome)), executable_(std::move(executable)) {}

std::unique_ptr<XdgAutostartLoginItem> XdgAutostartLoginItem::forCurrentUser() {
  std::string configHome;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    configHome = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    configHome = std::string(home) + "/.config";
  } else {
    return nullptr;
  }
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return nullptr;
  return std::make_unique<XdgAutostartLoginItem>(std::move(configHome), executable.string());
}

std::string XdgAutostartLoginItem::entryPath() const { return configHome_ + "/autostart/" + entryName; }

bool XdgAutostartLoginItem::isEnabled() {
  struct stat info {};
  // A link or a folder in its place is nothing this program wrote.
  if (::lstat(entryPath().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::ifstream in(entryPath());
  std::string line;
  while (std::getline(in, line)) {
    if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
  }
  return true;
}

bool XdgAutostartLoginItem::setEnabled(bool enabled) {
  const std::string path = entryPath();
  if (!enabled) return ::unlink(path.c_str()) == 0 || errno == ENOENT;

  const std::string folder = configHome_ + "/autostart";
  DataDirectory::createMissingPrivately(folder);
  std::ostringstream entry;
  entry << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=Quillon\n"
        << "Exec=" << execArgument(executable_) << "\n"
        << "Icon=quillon\n"
        << "Terminal=false\n"
        << "NoDisplay=true\n"
        << "X-GNOME-Autostart-enabled=true\n";
  const std::string temporary = path + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  const bool written = writeAll(fd, entry.str()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace quillon

#include "core/storage/files/launch_local_storage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "core/support/file_times.h"
#include "core/support/uuid.h"

namespace quillon {

namespace {

// A regular file owned by us with exactly one link: anything else may be a planted
// alias of a file elsewhere.
bool isSafeFile(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_uid == ::getuid() && info.st_nlink == 1;
}

// The entry's metadata when it exists and is safe, none when it is absent; throws otherwise.
std::optional<struct stat> statFile(int directory, const std::string& name) {
  struct stat info {};
  if (::fstatat(directory, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return std::nullopt;
    throw LaunchStorageError::unavailable(errno);
  }
  if (!isSafeFile(info)) throw LaunchStorageError::unsafeLocation;
  return info;
}

// True when the entry exists and is safe, false when it is absent; throws otherwise.
bool checkFile(int directory, const std::string& name) { return statFile(directory, name).has_value(); }

Bytes readAll(int directory, const std::string& name, std::size_t maximumBytes) {
  UniqueFd file(::openat(directory, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file) throw LaunchStorageError::unavailable(errno);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) throw LaunchStorageError::unavailable(errno);
  if (!isSafeFile(info)) throw LaunchStorageError::unsafeLocation;
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > maximumBytes) {
    throw LaunchStorageError::tooLarge;
  }
  Bytes data;
  data.reserve(static_cast<std::size_t>(info.st_size));
  std::uint8_t chunk[LaunchLocalStorage::readChunkSize];
  while (true) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw LaunchStorageError::unavailable(errno);
    }
    if (got == 0) break;
    // The file may have grown since fstat; the second bound keeps memory in check.
    if (data.size() + static_cast<std::size_t>(got) > maximumBytes) throw LaunchStorageError::tooLarge;
    data.insert(data.end(), chunk, chunk + got);
  }
  return data;
}

}  // namespace

void LaunchLocalStorage::checkComponent(const std::string& component) {
  if (component.empty() || component == "." || component == ".." || component.find('/') != std::string::npos ||
      component.find('\0') != std::string::npos) {
    throw LaunchStorageError::unsafeLocation;
  }
}

std::optional<UniqueFd> LaunchLocalStorage::openDirectory(const Components& components, bool creates) const {
  if (!rootDirectory_.isFileUrl()) throw LaunchStorageError::unsafeLocation;
  const std::string rootPath = standardizePath(rootDirectory_.path());
  // A decoded "%00" would cut the path short at the system call and silently open
  // another directory.
  if (rootPath == "/" || rootPath.find('\0') != std::string::npos) throw LaunchStorageError::unsafeLocation;
  for (const auto& component : components) checkComponent(component);

  const auto slash = rootPath.rfind('/');
  const std::string parentPath = slash == 0 ? "/" : rootPath.substr(0, slash);
  Components walk{rootPath.substr(slash + 1)};
  walk.insert(walk.end(), components.begin(), components.end());

  // open() follows links in the parent path, which is exactly the trust we give it.
  UniqueFd current(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!current) throw LaunchStorageError::unavailable(errno);

  for (const auto& component : walk) {
    checkComponent(component);
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd next(::openat(current.get(), component.c_str(), flags));
    if (!next) {
      if (errno != ENOENT) throw LaunchStorageError::unsafeLocation;
      if (!creates) return std::nullopt;
      if (::mkdirat(current.get(), component.c_str(), 0700) != 0 && errno != EEXIST) {
        throw LaunchStorageError::unavailable(errno);
      }
      next.reset(::openat(current.get(), component.c_str(), flags));
      if (!next) throw LaunchStorageError::unsafeLocation;
    }
    struct stat info {};
    if (::fstat(next.get(), &info) != 0 || info.st_uid != ::getuid()) throw LaunchStorageError::unsafeLocation;
    if (creates && ::fchmod(next.get(), 0700) != 0) throw LaunchStorageError::unavailable(errno);
    current = std::move(next);
  }
  return current;
}

std::optional<std::vector<std::string>> LaunchLocalStorage::entryNames(const Components& components) const {
  auto directory = openDirectory(components, false);
  if (!directory) return std::nullopt;
  // fdopendir takes over the descriptor it is given, so it gets a duplicate.
  UniqueFd duplicate(::fcntl(directory->get(), F_DUPFD_CLOEXEC, 0));
  if (!duplicate) throw LaunchStorageError::unavailable(errno);
  std::unique_ptr<DIR, int (*)(DIR*)> stream(::fdopendir(duplicate.get()), &::closedir);
  if (!stream) throw LaunchStorageError::unavailable(errno);
  duplicate.release();
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(stream.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  if (errno != 0) throw LaunchStorageError::unavailable(errno);
  return names;
}

std::optional<LaunchLocalStorage::FileInfo> LaunchLocalStorage::fileInfo(const std::string& name,
                                                                         const Components& components) const {
  checkComponent(name);
  auto directory = openDirectory(components, false);
  if (!directory) return std::nullopt;
  const auto info = statFile(directory->get(), name);
  if (!info) return std::nullopt;
  const timespec modified = modificationTimeOf(*info);
  return FileInfo{static_cast<std::uint64_t>(info->st_size),
                  static_cast<double>(modified.tv_sec) + static_cast<double>(modified.tv_nsec) / 1e9};
}

std::optional<Bytes> LaunchLocalStorage::read(const std::string& name, const Components& components,
                                              std::size_t maximumBytes) const {
  checkComponent(name);
  auto directory = openDirectory(components, false);
  if (!directory) return std::nullopt;
  if (!checkFile(directory->get(), name)) return std::nullopt;
  return readAll(directory->get(), name, maximumBytes);
}

void LaunchLocalStorage::write(std::span<const std::uint8_t> data, const std::string& name,
                               const Components& components) const {
  checkComponent(name);
  auto directory = openDirectory(components, true);
  if (!directory) throw LaunchStorageError::unavailable(ENOENT);
  const int dir = directory->get();
  checkFile(dir, name);

  const std::string temporary = ".write-" + Uuid::random().toString();
  UniqueFd file(::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file) throw LaunchStorageError::unavailable(errno);

  try {
    std::size_t written = 0;
    while (written < data.size()) {
      const ssize_t count = ::write(file.get(), data.data() + written, data.size() - written);
      if (count < 0) {
        if (errno == EINTR) continue;
        throw LaunchStorageError::unavailable(errno);
      }
      if (count == 0) throw LaunchStorageError::unavailable(EIO);
      written += static_cast<std::size_t>(count);
    }
    if (::fsync(file.get()) != 0) throw LaunchStorageError::unavailable(errno);
    // The target may have been swapped for a link while we wrote.
    checkFile(dir, name);
    if (::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) throw LaunchStorageError::unavailable(errno);
  } catch (...) {
    file.reset();
    ::unlinkat(dir, temporary.c_str(), 0);
    throw;
  }
  file.reset();
  // Makes the rename itself durable. The new content is already in place, so a failure
  // here is not reported as a failed write.
  ::fsync(dir);
}

void LaunchLocalStorage::remove(const std::string& name, const Components& components) const {
  checkComponent(name);
  auto directory = openDirectory(components, false);
  if (!directory) return;
  if (!checkFile(directory->get(), name)) return;
  if (::unlinkat(directory->get(), name.c_str(), 0) != 0) throw LaunchStorageError::unavailable(errno);
}

Url LaunchLocalStorage::preserve(const std::string& name) const {
  checkComponent(name);
  auto directory = openDirectory({}, true);
  if (!directory) throw LaunchStorageError::unavailable(ENOENT);
  if (!checkFile(directory->get(), name)) throw LaunchStorageError::invalidRecord;
  const Bytes data = readAll(directory->get(), name, preserveLimit);
  const std::string backup = name + ".preserved-" + Uuid::random().toString();
  write(data, backup, {});
  return Url::fileUrl(standardizePath(rootDirectory_.path()) + "/" + backup, false);
}

}  // namespace quillon

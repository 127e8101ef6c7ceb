#include "desktop/qt_user_defaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QVariant>

#include "core/support/file_times.h"

namespace quillon {

namespace {

constexpr double referenceDateOffset = 978'307'200.0;  // 1970 → 2001, in seconds

QString keyOf(const std::string& key) { return QString::fromStdString(key); }

// INI files keep no types: numbers and booleans written by a defaults tool or by hand
// read back as text. Text that is exactly a number or a boolean is taken as one, the
// way the native domain would have stored it.
PropertyListValue fromIniText(const QString& text) {
  bool ok = false;
  const qlonglong integer = text.toLongLong(&ok);
  if (ok) return PropertyListValue{static_cast<std::int64_t>(integer)};
  const double real = text.toDouble(&ok);
  if (ok) return PropertyListValue{real};
  if (text == QLatin1String("true")) return PropertyListValue{true};
  if (text == QLatin1String("false")) return PropertyListValue{false};
  return PropertyListValue{text.toStdString()};
}

std::optional<PropertyListValue> fromVariant(const QVariant& value, bool typelessText) {
  switch (value.typeId()) {
    case QMetaType::QByteArray: {
      const QByteArray bytes = value.toByteArray();
      return PropertyListValue{Bytes(bytes.begin(), bytes.end())};
    }
    case QMetaType::QString:
      return typelessText ? fromIniText(value.toString()) : PropertyListValue{value.toString().toStdString()};
    case QMetaType::Bool: return PropertyListValue{value.toBool()};
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULong:
    case QMetaType::ULongLong: return PropertyListValue{static_cast<std::int64_t>(value.toLongLong())};
    case QMetaType::Float:
    case QMetaType::Double: return PropertyListValue{value.toDouble()};
    case QMetaType::QDateTime:
      return PropertyListValue{
          PropertyListDate{static_cast<double>(value.toDateTime().toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset}};
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
      PropertyListValue::Array items;
      for (const auto& item : value.toList()) {
        if (auto converted = fromVariant(item, typelessText)) items.push_back(std::move(*converted));
      }
      return PropertyListValue{std::move(items)};
    }
    case QMetaType::QVariantMap: {
      PropertyListValue::Dictionary entries;
      const auto map = value.toMap();
      for (auto it = map.begin(); it != map.end(); ++it) {
        if (auto converted = fromVariant(it.value(), typelessText))
          entries.emplace(it.key().toStdString(), std::move(*converted));
      }
      return PropertyListValue{std::move(entries)};
    }
    default:
      // A type with no property-list counterpart is still a stored value: keep it as
      // its text so that callers see "something that is not data".
      if (value.canConvert<QString>()) return PropertyListValue{value.toString().toStdString()};
      return PropertyListValue{std::string()};
  }
}

}  // namespace

std::unique_ptr<QtUserDefaults> QtUserDefaults::forApplication() {
#ifdef Q_OS_MACOS
  // "quillon.com" + "app" is the domain com.quillon.app.
  return std::make_unique<QtUserDefaults>(
      [] { return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "quillon.com", "app"); });
#else
  return atPath(applicationSettingsPath());
#endif
}

std::string QtUserDefaults::applicationSettingsPath() {
  const QString directory = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return (directory + "/com.quillon.app/defaults.ini").toStdString();
}

std::unique_ptr<QtUserDefaults> QtUserDefaults::atPath(const std::string& path) {
  const QString file = QString::fromStdString(path);
  return std::make_unique<QtUserDefaults>([file] { return std::make_unique<QSettings>(file, QSettings::IniFormat); });
}

QtUserDefaults::QtUserDefaults(std::function<std::unique_ptr<QSettings>()> makeSettings)
    : makeSettings_(std::move(makeSettings)), settings_(makeSettings_()) {}

QtUserDefaults::~QtUserDefaults() = default;

std::optional<PropertyListValue> QtUserDefaults::object(const std::string& key) const {
  // Picks up changes another process (a defaults tool, the user's editor) made.
  settings_->sync();
  const QVariant value = settings_->value(keyOf(key));
  if (!value.isValid()) return std::nullopt;
  return fromVariant(value, settings_->format() == QSettings::IniFormat);
}

std::optional<Bytes> QtUserDefaults::data(const std::string& key) const {
  settings_->sync();
  const QVariant value = settings_->value(keyOf(key));
  if (value.typeId() != QMetaType::QByteArray) return std::nullopt;
  const QByteArray bytes = value.toByteArray();
  return Bytes(bytes.begin(), bytes.end());
}

void QtUserDefaults::setData(std::span<const std::uint8_t> data, const std::string& key) {
  // A QSettings object keeps the first error it met for good; a fresh one lets a
  // write succeed once the disk can be written again.
  if (settings_->status() != QSettings::NoError) settings_ = makeSettings_();
  const QVariant previous = settings_->value(keyOf(key));
  settings_->setValue(keyOf(key),
                      QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())));
  settings_->sync();
  if (settings_->status() == QSettings::NoError) return;
  // The unwritten value stays in memory (shared by every QSettings on the same file),
  // which would make a read-back check pass for a write that is lost. Put back what
  // the disk still holds.
  settings_ = makeSettings_();
  if (previous.isValid()) {
    settings_->setValue(keyOf(key), previous);
  } else {
    settings_->remove(keyOf(key));
  }
}

int QtUserDefaults::readError() const {
  // A file that went away and came back is read by a fresh object.
  if (settings_->status() != QSettings::NoError) settings_ = makeSettings_();
  // Asked of the file itself: QSettings does not re-read a file whose size and time are
  // unchanged, so it would miss a change of permissions.
  const int fd = ::open(QFile::encodeName(settings_->fileName()).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : errno;
  struct stat info {};
  const bool isDirectory = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
  ::close(fd);
  return isDirectory ? EISDIR : 0;
}

DefaultsStamp QtUserDefaults::stamp() const {
  struct stat info {};
  if (::stat(QFile::encodeName(settings_->fileName()).constData(), &info) != 0) return {.error = errno};
  auto nanoseconds = [](const timespec& time) { return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec; };
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), info.st_size,
          nanoseconds(modificationTimeOf(info)),   nanoseconds(changeTimeOf(info)),         0};
}

}  // namespace quillon

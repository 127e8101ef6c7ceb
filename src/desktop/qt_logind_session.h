#pragma once

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QDBusPendingCallWatcher;

namespace quillon {

// The login session's screen lock, from logind on the system bus: its Lock signal (the
// session manager asks lockers to lock) and its LockedHint property (the locker says the
// screen is locked). Inert where there is no system bus or no logind session, as in a
// container or under Xvfb; nothing waits on the bus, every call is asynchronous.
class QtLogindSession final : public QObject {
  Q_OBJECT

 public:
  struct Handlers {
    std::function<void()> lockRequested;
    std::function<void(bool locked)> lockedHintChanged;
  };
  explicit QtLogindSession(Handlers handlers);

 private slots:
  void lock();
  void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

 private:
  void follow(const QString& sessionPath);

  Handlers handlers_;
};

}  // namespace quillon

#include "desktop/qt_logind_session.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace quillon {

namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

}  // namespace

QtLogindSession::QtLogindSession(Handlers handlers) : handlers_(std::move(handlers)) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return;
  // Signals come from the session's own object path, not from the "auto" alias.
  QDBusMessage ask = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/login1"),
                                                    QStringLiteral("org.freedesktop.login1.Manager"),
                                                    QStringLiteral("GetSessionByPID"));
  ask << static_cast<quint32>(QCoreApplication::applicationPid());
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    call->deleteLater();
    if (reply.isValid()) follow(reply.value().path());
  });
}

void QtLogindSession::follow(const QString& sessionPath) {
  QDBusConnection bus = QDBusConnection::systemBus();
  bus.connect(service, sessionPath, sessionInterface, QStringLiteral("Lock"), this, SLOT(lock()));
  bus.connect(service, sessionPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
              SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
  QDBusMessage get = QDBusMessage::createMethodCall(service, sessionPath, propertiesInterface, QStringLiteral("Get"));
  get << sessionInterface << QStringLiteral("LockedHint");
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
    const QDBusPendingReply<QDBusVariant> reply = *call;
    call->deleteLater();
    if (reply.isValid() && handlers_.lockedHintChanged) handlers_.lockedHintChanged(reply.value().variant().toBool());
  });
}

void QtLogindSession::lock() {
  if (handlers_.lockRequested) handlers_.lockRequested();
}

void QtLogindSession::propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&) {
  if (interface != sessionInterface) return;
  const auto hint = changed.find(QStringLiteral("LockedHint"));
  if (hint != changed.end() && handlers_.lockedHintChanged) handlers_.lockedHintChanged(hint->toBool());
}

}  // namespace quillon

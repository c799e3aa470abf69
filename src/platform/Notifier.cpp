// SPDX-License-Identifier: MIT
#include "platform/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace Notifier {

bool Notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The service's own rules for "desktop-entry" and the icon pair the note with the program.
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("io.github.calyxor.Calyxor"));
    call << QStringLiteral("Calyxor") << uint(0) << QStringLiteral("io.github.calyxor.Calyxor")
         << summary << body << QStringList() << hints << int(-1);
    // Not waited for: a service that is slow to answer must not hold the window.
    return bus.send(call);
}

} // namespace Notifier

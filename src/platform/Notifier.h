// SPDX-License-Identifier: MIT
#pragma once
// The desktop's notifications (the freedesktop notification service on the session bus), for
// telling a user who looked away that a long operation has ended.

#include <QString>

namespace Notifier {

// Sends one notification, without waiting for the answer: a desktop with no notification
// service, or no session bus at all, simply shows nothing. False when there was no bus to
// send it on.
bool Notify(const QString& summary, const QString& body);

} // namespace Notifier

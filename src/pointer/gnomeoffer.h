// The offer to enable Oglon's GNOME Shell extension when it is installed but
// does not run: a desktop notification with one action, "Enable the
// extension". It never holds up the program: gsettings runs beside it.
#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

class QObject;

// Shows one desktop notification per login session that offers to enable the
// extension `uuid` from the next login; enables it only when the user chooses.
void OfferToEnableExtension(const QString &uuid, QObject *parent);

// The strings of a list as `gsettings get` prints one: ['a@b', 'c@d'] or
// @as []. None for anything else, such as nothing at all: a failed read must
// not pass for an empty list, or enabling would drop the other extensions.
std::optional<QStringList> GsettingsStringList(const QByteArray &printed);

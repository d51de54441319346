// The offer to enable Oglon's GNOME Shell extension when it is installed but
// does not run: a desktop notification with one action, "Enable the
// extension".
#pragma once

#include <QString>

class QObject;

// Shows one desktop notification per login session that offers to enable the
// extension `uuid` from the next login; enables it only when the user chooses.
void OfferToEnableExtension(const QString &uuid, QObject *parent);

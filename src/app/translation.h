// The program's texts in the user's language, from the translations built
// into it.
#pragma once

#include <QLocale>
#include <QStringList>

class QTranslator;

// The languages the program speaks besides English, as file suffixes.
QStringList TranslationLanguages();

// Installs the translation that best fits the locale, if there is one, and
// returns it (owned by the application); in English none is needed.
QTranslator *InstallTranslation(const QLocale &locale = QLocale());

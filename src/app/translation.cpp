#include "translation.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

namespace {

const QString TranslationsDir = QStringLiteral(":/i18n");

} // namespace

QStringList TranslationLanguages()
{
    QStringList languages;
    for (const QString &file : QDir(TranslationsDir).entryList({ "oglon_*.qm" }, QDir::Files))
        languages << file.mid(6).chopped(3);
    return languages;
}

QTranslator *InstallTranslation(const QLocale &locale)
{
    // Qt tries the locale's languages in the user's order of preference,
    // from the most specific form (pt_BR) to the language alone (de).
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, QStringLiteral("oglon"), QStringLiteral("_"), TranslationsDir)
        && QCoreApplication::installTranslator(translator))
        return translator;
    delete translator;
    return nullptr;
}

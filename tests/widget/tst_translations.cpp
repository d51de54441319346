// The translations: each one complete, with its placeholders and access keys,
// no two menu items on one key; and the one chosen for the user's locale.
#include "app/translation.h"
#include "head/form1.h"

#include <QAction>
#include <QFile>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// A translation as lupdate left it at build time, as (context, source,
// translation): every text of the sources, one nobody has translated yet
// with an empty translation.
QList<QStringList> readTranslation(const QString &language)
{
    QFile file(QStringLiteral(OGLON_I18N_DIR "/oglon_%1.ts").arg(language));
    QXmlStreamReader xml(file.open(QIODevice::ReadOnly) ? &file : nullptr);
    QList<QStringList> messages;
    QString context;
    while (xml.readNextStartElement() || (!xml.atEnd() && !xml.hasError())) {
        if (xml.name() == u"name")
            context = xml.readElementText();
        else if (xml.name() == u"source")
            messages.append({ context, xml.readElementText() });
        else if (xml.name() == u"translation") {
            const bool unfinished = xml.attributes().hasAttribute("type");
            const QString text = xml.readElementText();
            messages.back() << (unfinished ? QString() : text);
        }
    }
    return messages;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void complete_data();
    void complete();
    void chosenFromTheLocale_data();
    void chosenFromTheLocale();
};

void TestTranslations::complete_data()
{
    QTest::addColumn<QString>("language");
    const QStringList languages { "de", "es", "fr", "it", "ja", "pl", "pt_BR", "ru", "zh_CN" };
    QCOMPARE(TranslationLanguages(), languages); // all built in
    for (const QString &language : languages)
        QTest::newRow(qPrintable(language)) << language;
}

void TestTranslations::complete()
{
    QFETCH(QString, language);
    const QList<QStringList> messages = readTranslation(language);
    QVERIFY(messages.size() >= 10);
    QSet<QChar> menuKeys;
    for (const QStringList &m : messages) {
        const QString &source = m.at(1), &translation = m.value(2);
        const QString what = m.join(" | ");
        QVERIFY2(!translation.trimmed().isEmpty(), qPrintable(what));
        QVERIFY2(translation.count("%1") == source.count("%1"), qPrintable(what));
        QVERIFY2(translation.count(u'&') == source.count(u'&'), qPrintable(what));
        const int key = translation.indexOf(u'&') + 1;
        if (key > 0) {
            QVERIFY2(key < translation.size() && translation.at(key).isLetterOrNumber(),
                qPrintable(what));
            // The menu's items each on a key of their own.
            if (m.front() == QLatin1String("Form1"))
                menuKeys.insert(translation.at(key).toLower());
        }
    }
    QCOMPARE(menuKeys.size(), 3);
}

void TestTranslations::chosenFromTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("about"); // the menu item
    QTest::newRow("English") << "en_US"
                             << "&About Oglon";
    QTest::newRow("German") << "de_DE"
                            << "&Über Oglon";
    QTest::newRow("Brazilian") << "pt_BR"
                               << "&Sobre o Oglon";
    QTest::newRow("European Portuguese") << "pt_PT"
                                         << "&About Oglon";
    QTest::newRow("Japanese") << "ja_JP"
                              << "Oglon について(&A)";
    QTest::newRow("Simplified Chinese") << "zh_CN"
                                        << "关于 Oglon(&A)";
}

void TestTranslations::chosenFromTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, about);
    QTranslator *translator = InstallTranslation(QLocale(locale));
    QCOMPARE(translator != nullptr, about != QLatin1String("&About Oglon"));
    Form1 head;
    QCOMPARE(head.aboutItem()->text(), about);
    delete translator;
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"

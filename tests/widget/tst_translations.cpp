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

struct Message
{
    QString context, source, translation;
    bool finished = true;
};

// A translation as lupdate left it at build time: every text of the sources,
// those nobody has translated yet marked unfinished.
QList<Message> readTranslation(const QString &language)
{
    QFile file(QStringLiteral(OGLON_I18N_DIR "/oglon_%1.ts").arg(language));
    QList<Message> messages;
    QString context;
    QXmlStreamReader xml(file.open(QIODevice::ReadOnly) ? &file : nullptr);
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (xml.name() == u"name" && xml.isStartElement())
            context = xml.readElementText();
        else if (xml.name() == u"source")
            messages.append(Message { context, xml.readElementText(), {}, true });
        else if (xml.name() == u"translation" && xml.isStartElement()) {
            messages.back().finished = xml.attributes().value("type").isEmpty();
            messages.back().translation = xml.readElementText();
        }
    }
    return messages;
}

// The letter after the '&', lower-cased.
QChar accessKey(const QString &text)
{
    const int at = text.indexOf(u'&');
    return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
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
    const QList<Message> messages = readTranslation(language);
    QVERIFY(messages.size() >= 10);
    QSet<QChar> menuKeys;
    for (const Message &m : messages) {
        const QString what = m.context + ": " + m.source + " -> " + m.translation;
        QVERIFY2(m.finished && !m.translation.trimmed().isEmpty(), qPrintable(what));
        QCOMPARE(m.translation.count(QStringLiteral("%1")), m.source.count(QStringLiteral("%1")));
        QCOMPARE(m.translation.count(u'&'), m.source.count(u'&'));
        if (m.source.contains(u'&')) {
            QVERIFY2(accessKey(m.translation).isLetterOrNumber(), qPrintable(what));
            // The menu's items each on a key of their own.
            if (m.context == QLatin1String("Form1")) {
                QVERIFY2(!menuKeys.contains(accessKey(m.translation)), qPrintable(what));
                menuKeys.insert(accessKey(m.translation));
            }
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

// The translations: each one complete, with its placeholders and access keys,
// no two menu items on one key; and the one chosen for the user's locale.
#include "about/form2.h"
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
    QString context;
    QString source;
    QString translation;
    bool finished = true;
};

// A translation as lupdate left it at build time: every text of the sources,
// those nobody has translated yet marked unfinished.
QList<Message> readTranslation(const QString &language)
{
    QFile file(QStringLiteral(OGLON_I18N_DIR "/oglon_%1.ts").arg(language));
    QList<Message> messages;
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            messages.append(Message { context, {}, {}, true });
        } else if (xml.name() == u"source") {
            messages.back().source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            messages.back().finished = xml.attributes().value("type").isEmpty();
            messages.back().translation = xml.readElementText();
        }
    }
    return messages;
}

// The letter after a single '&', lower-cased; none without one.
QChar accessKey(const QString &text)
{
    const int at = text.indexOf(u'&');
    return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
}

const QStringList Languages { "de", "es", "fr", "it", "ja", "pl", "pt_BR", "ru", "zh_CN" };

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
    QCOMPARE(TranslationLanguages(), Languages); // all built in
    for (const QString &language : Languages)
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
    QTest::addColumn<QString>("title"); // the About box's
    QTest::newRow("English") << "en_US"
                             << "&About Oglon"
                             << "About Oglon";
    QTest::newRow("German") << "de_DE"
                            << "&Über Oglon"
                            << "Über Oglon";
    QTest::newRow("Swiss German") << "de_CH"
                                  << "&Über Oglon"
                                  << "Über Oglon";
    QTest::newRow("Brazilian") << "pt_BR"
                               << "&Sobre o Oglon"
                               << "Sobre o Oglon";
    QTest::newRow("European Portuguese") << "pt_PT"
                                         << "&About Oglon"
                                         << "About Oglon";
    QTest::newRow("Japanese") << "ja_JP"
                              << "Oglon について(&A)"
                              << "Oglon について";
    QTest::newRow("Simplified Chinese") << "zh_CN"
                                        << "关于 Oglon(&A)"
                                        << "关于 Oglon";
    QTest::newRow("Russian") << "ru_RU"
                             << "&О программе Oglon"
                             << "О программе Oglon";
}

void TestTranslations::chosenFromTheLocale()
{
    QFETCH(QString, locale);
    QFETCH(QString, about);
    QFETCH(QString, title);
    QTranslator *translator = InstallTranslation(QLocale(locale));
    QCOMPARE(translator != nullptr, about != QLatin1String("&About Oglon"));
    {
        Form1 head;
        QCOMPARE(head.aboutItem()->text(), about);
        QCOMPARE(Form2::load()->windowTitle(), title);
        delete Form2::instance();
    }
    delete translator;
}

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"

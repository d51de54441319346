// Writes the desktop entry and the AppStream metainfo with the texts of every
// translation added after the English ones. Run at build time.
// Usage: l10n-desktop QM_DIR DESKTOP_IN DESKTOP_OUT METAINFO_IN METAINFO_OUT LANGUAGE...
#include <QCoreApplication>
#include <QFile>
#include <QTranslator>
#include <cstdio>
#include <map>
#include <vector>

namespace {

// The desktop entry's keys and their English texts, as the template has them.
const char *const EntryTexts[][2] = {
    { "Name", QT_TRANSLATE_NOOP("DesktopEntry", "Oglon") },
    { "GenericName", QT_TRANSLATE_NOOP("DesktopEntry", "Desktop Toy") },
    { "Comment",
        QT_TRANSLATE_NOOP("DesktopEntry",
            "It comes up on your desktop and its eyes follow your cursor as you move it "
            "around the desktop.") },
};
const char *const Summary
    = QT_TRANSLATE_NOOP("AppStream", "A head on your desktop whose eyes follow your cursor");

QByteArray read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

void write(const QString &path, const QByteArray &text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray escapeXml(const QString &text)
{
    return text.toHtmlEscaped().toUtf8();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 6) {
        std::fprintf(stderr,
            "usage: l10n-desktop QM_DIR DESKTOP_IN DESKTOP_OUT "
            "METAINFO_IN METAINFO_OUT LANGUAGE...\n");
        return 2;
    }
    std::vector<std::pair<QString, QTranslator *>> translations;
    for (const QString &language : args.mid(6)) {
        auto *translator = new QTranslator(&app);
        if (!translator->load(QStringLiteral("oglon_") + language, args[1]))
            qFatal("no translation for %s", qPrintable(language));
        translations.emplace_back(language, translator);
    }

    // A translated line after each English one; a text the same in a
    // language (a name) needs none.
    QByteArray entry;
    for (const QByteArray &line : read(args[2]).split('\n')) {
        if (line.isEmpty())
            continue;
        entry += line + '\n';
        for (const auto &[key, english] : EntryTexts) {
            if (line != QByteArray(key) + '=' + english)
                continue;
            for (const auto &[language, translator] : translations) {
                const QString text = translator->translate("DesktopEntry", english);
                if (!text.isEmpty() && text != QLatin1String(english))
                    entry
                        += QByteArray(key) + '[' + language.toUtf8() + "]=" + text.toUtf8() + '\n';
            }
        }
    }
    write(args[3], entry);

    QByteArray metainfo = read(args[4]);
    const QByteArray english = QByteArray("<summary>") + Summary + "</summary>";
    const int at = metainfo.indexOf(english);
    if (at < 0)
        qFatal("no English summary in %s", qPrintable(args[4]));
    const int lineStart = metainfo.lastIndexOf('\n', at) + 1;
    const QByteArray indent = metainfo.mid(lineStart, at - lineStart);
    QByteArray summaries;
    for (const auto &[language, translator] : translations)
        summaries += '\n' + indent + "<summary xml:lang=\"" + language.toUtf8() + "\">"
            + escapeXml(translator->translate("AppStream", Summary)) + "</summary>";
    metainfo.insert(at + english.size(), summaries);
    write(args[5], metainfo);
    return 0;
}

#include "form2.h"

#include "authors.h"
#include "desktop/desktop.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QToolTip>
#include <QWindow>
#include <algorithm>

namespace {

// The one About box, while it is loaded.
QPointer<Form2> loadedAbout;

const QColor LinkColour(0, 0, 128); // dark blue
const QColor PressedLinkColour(128, 0, 128); // purple

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QCursor handCursor()
{
    // Hot spot on the tip of the raised index finger.
    return QCursor(QPixmap(QStringLiteral(":/hand-cursor.png")), 5, 1);
}

constexpr qreal SmallestPointSize = 6;
// The labels' rows lie 15 pixels apart: a taller line would run into the next.
constexpr int LinePitch = 15;

// The largest point size, from the labels' own down in quarter points, at
// which each label's text fits it on one line, clear of the next row; never
// below 6 points.
qreal fittingPointSize(const QList<QLabel *> &labels)
{
    QFont font = labels.front()->font();
    for (qreal size = font.pointSizeF(); size > SmallestPointSize; size -= 0.25) {
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        if (std::all_of(labels.begin(), labels.end(), [&](const QLabel *label) {
                return metrics.horizontalAdvance(label->text()) <= label->width()
                    && metrics.height() <= LinePitch;
            }))
            return size;
    }
    return SmallestPointSize;
}

} // namespace

Form2 *Form2::load(QWidget *head, bool onTop)
{
    if (!loadedAbout)
        loadedAbout = new Form2(head, onTop);
    return loadedAbout;
}

Form2 *Form2::instance()
{
    return loadedAbout;
}

void Form2::unload()
{
    if (Form2 *about = loadedAbout) {
        loadedAbout = nullptr;
        about->hide();
        about->deleteLater();
    }
}

Form2::Form2(QWidget *head, bool onTop)
    : QWidget(nullptr,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
    , m_head(head)
{
    setWindowTitle(tr("About Oglon"));
    setFixedSize(245, 110);

    // In tab order.
    Command1 = new QPushButton(tr("&OK"), this);
    Command1->setGeometry(92, 78, 65, 23);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    Label1 = addLabel(QStringLiteral("Oglon Chromule"), { 27, 3, 187, 18 });
    //: The credit line of the About box; %1 is the author's name.
    Label2 = addLabel(tr("By %1").arg(QString::fromUtf8(OGLON_AUTHOR_NAME)), { 41, 18, 163, 18 });
    Email = addLabel(QString::fromUtf8(OGLON_AUTHOR_EMAIL), { 69, 33, 107, 18 });
    Homepage = addLabel(QString::fromUtf8(OGLON_AUTHOR_HOMEPAGE), { 3, 49, 238, 18 });
    makeLink(Email);
    makeLink(Homepage);
    fitTexts();
    Command1->setFocus();

    setAccessibleName(windowTitle());
    setAccessibleDescription(tr("The program's name, its author and links to write to the "
                                "author and to visit the author's web site"));
    Email->setAccessibleDescription(tr("Writes to the author in your mail program"));
    Homepage->setAccessibleDescription(tr("Opens the author's web site in your browser"));

    // OK is both the default and the cancel button.
    for (const QKeySequence &key :
        { QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Escape) })
        connect(new QShortcut(key, this), &QShortcut::activated, Command1, &QPushButton::click);

    // A first guess by the client area; the frame is not known before the
    // window manager has made it.
    centreOnTheHeadsScreen();
    Form_Load(onTop);
}

Form2::~Form2() = default;

QLabel *Form2::addLabel(const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, this);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

void Form2::makeLink(QLabel *label)
{
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    setTextColour(label, LinkColour);
    label->setCursor(handCursor());
    label->installEventFilter(this);
}

void Form2::fitTexts()
{
    // The desktop's font, smaller where a text would be clipped; both links
    // in one size so that they read as a pair.
    for (const QList<QLabel *> &labels :
        { QList { Label1 }, QList { Label2 }, QList { Email, Homepage } }) {
        const qreal size = fittingPointSize(labels);
        for (QLabel *label : labels) {
            QFont font = label->font();
            font.setPointSizeF(size);
            label->setFont(font);
        }
    }
}

void Form2::centreOnTheHeadsScreen()
{
    // The screen that holds the head, where the user's eyes are.
    QScreen *screen
        = m_head ? QGuiApplication::screenAt(m_head->frameGeometry().center()) : nullptr;
    if (!screen)
        screen = m_head ? m_head->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // A window's position is its frame's; without one yet, the client's.
    const QRect frame = frameGeometry();
    move(screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
}

bool Form2::event(QEvent *event)
{
    // The window manager frames the box after it is shown and moves it by
    // the frame's top; centre it again by its frame, once, as soon as the
    // frame is known: when the box moves into it or is first painted.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Move || type == QEvent::Paint) && !CentredByFrame && isVisible()
        && windowHandle() && !windowHandle()->frameMargins().isNull()) {
        CentredByFrame = true;
        centreOnTheHeadsScreen();
    }
    return QWidget::event(event);
}

void Form2::Form_Load(bool onTop)
{
    SetWindowPos(this, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Form2::Command1_Click()
{
    unload();
}

QString Form2::emailTarget() const
{
    return QStringLiteral("mailto:") + Email->text();
}

QString Form2::homepageTarget() const
{
    return Homepage->text();
}

void Form2::Email_MouseDown()
{
    setTextColour(Email, PressedLinkColour);
}

void Form2::Email_MouseUp()
{
    setTextColour(Email, LinkColour);
    openLink(Email, emailTarget());
}

void Form2::Homepage_MouseDown()
{
    setTextColour(Homepage, PressedLinkColour);
}

void Form2::Homepage_MouseUp()
{
    setTextColour(Homepage, LinkColour);
    openLink(Homepage, homepageTarget());
}

void Form2::openLink(QLabel *link, const QString &target)
{
    QPointer<QLabel> label = link;
    ShellExecuteA(
        this, "open", target.toLocal8Bit().constData(), nullptr, nullptr, SW_SHOW, [this, label] {
            if (label)
                linkFailed(label);
        });
}

void Form2::linkFailed(QLabel *link)
{
    // Nothing could open the address: the user can still paste it.
    QGuiApplication::clipboard()->setText(link->text());
    QToolTip::showText(link->mapToGlobal(QPoint(0, link->height())),
        tr("No program could open %1. It has been copied to the clipboard.").arg(link->text()),
        link);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Email || watched == Homepage)
        return linkMouseEvent(static_cast<QLabel *>(watched), event)
            || QWidget::eventFilter(watched, event);
    return QWidget::eventFilter(watched, event);
}

bool Form2::linkMouseEvent(QLabel *link, QEvent *event)
{
    // A link opens like a button: on the release over the label that was
    // pressed, with any mouse button. Moving off before the release cancels;
    // the second click of a double-click does not open it again.
    const auto over = [&] {
        return link->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint());
    };
    const auto down = [&](bool pressed) {
        if (!pressed)
            setTextColour(link, LinkColour);
        else if (link == Email)
            Email_MouseDown();
        else
            Homepage_MouseDown();
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (!PressedLink) {
            PressedLink = link;
            PressOpens = true;
            down(true);
        }
        return true;
    case QEvent::MouseButtonDblClick:
        // Whether or not a press came first, this click has opened already.
        if (!PressedLink || PressedLink == link) {
            PressedLink = link;
            PressOpens = false;
            down(true);
        }
        return true;
    case QEvent::MouseMove:
        if (PressedLink == link)
            down(over());
        return PressedLink == link;
    case QEvent::MouseButtonRelease:
        if (PressedLink != link)
            return true;
        PressedLink = nullptr;
        if (!PressOpens || !over())
            down(false);
        else if (link == Email)
            Email_MouseUp();
        else
            Homepage_MouseUp();
        return true;
    default:
        return false;
    }
}

void Form2::closeEvent(QCloseEvent *event)
{
    // The window manager's close button does what OK does.
    event->accept();
    unload();
}

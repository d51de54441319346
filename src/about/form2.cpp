#include "form2.h"

#include "authors.h"
#include "desktop/desktop.h"
#include "head/form1.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

namespace {

Form2 *theAbout = nullptr;

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

} // namespace

Form2 *Form2::load()
{
    if (!theAbout)
        theAbout = new Form2;
    return theAbout;
}

Form2 *Form2::instance()
{
    return theAbout;
}

void Form2::unload()
{
    if (Form2 *about = theAbout) {
        theAbout = nullptr;
        about->hide();
        about->deleteLater();
    }
}

Form2::Form2()
    : QWidget(nullptr,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("About Oglon"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    setFixedSize(245, 110);

    // In tab order.
    Command1 = new QPushButton(QStringLiteral("&OK"), this);
    Command1->setGeometry(92, 78, 65, 23);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    Label1 = addLabel(QStringLiteral("Oglon Chromule"), { 27, 3, 187, 18 });
    Label2 = addLabel(
        QStringLiteral("By ") + QString::fromUtf8(OGLON_AUTHOR_NAME), { 41, 18, 163, 18 });
    Email = addLabel(QString::fromUtf8(OGLON_AUTHOR_EMAIL), { 69, 33, 107, 18 });
    Homepage = addLabel(QString::fromUtf8(OGLON_AUTHOR_HOMEPAGE), { 3, 49, 238, 18 });
    makeLink(Email);
    makeLink(Homepage);
    Command1->setFocus();

    // OK is both the default and the cancel button.
    for (const QKeySequence &key :
        { QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Escape) })
        connect(new QShortcut(key, this), &QShortcut::activated, Command1, &QPushButton::click);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Form_Load();
}

Form2::~Form2()
{
    if (theAbout == this)
        theAbout = nullptr;
}

QLabel *Form2::addLabel(const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, this);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

void Form2::makeLink(QLabel *label)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setUnderline(true);
    // Where the sans font that stands in is wider, step down until the text
    // fits its label rather than clip it.
    while (font.pointSizeF() > 6
        && QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
        font.setPointSizeF(font.pointSizeF() - 0.25);
    label->setFont(font);
    setTextColour(label, LinkColour);
    label->setCursor(handCursor());
    label->installEventFilter(this);
}

void Form2::Form_Load()
{
    const Form1 *head = Form1::instance();
    const bool onTop = head && head->alwaysOnTopItem()->isChecked();
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
    ShellExecuteA(this, "open", emailTarget().toLocal8Bit().constData(), nullptr, nullptr, SW_SHOW);
}

void Form2::Homepage_MouseDown()
{
    setTextColour(Homepage, PressedLinkColour);
}

void Form2::Homepage_MouseUp()
{
    setTextColour(Homepage, LinkColour);
    ShellExecuteA(
        this, "open", homepageTarget().toLocal8Bit().constData(), nullptr, nullptr, SW_SHOW);
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    // Every mouse button acts alike on a link.
    const bool press
        = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if (watched == Email && press)
        Email_MouseDown();
    else if (watched == Email && release)
        Email_MouseUp();
    else if (watched == Homepage && press)
        Homepage_MouseDown();
    else if (watched == Homepage && release)
        Homepage_MouseUp();
    else
        return QWidget::eventFilter(watched, event);
    return true;
}

void Form2::closeEvent(QCloseEvent *event)
{
    // The window manager's close button does what OK does.
    event->accept();
    unload();
}

// The About box: the program's name, a credit line and two links. src/about/
// holds it alone; it uses the desktop services and nothing of the head.
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

// The About box.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    // Creates the one About box if it is not loaded yet and returns it. A new
    // box opens on the monitor that holds `head` and stays on top with it
    // when `onTop`, the head's state at that moment.
    static Form2 *load(QWidget *head = nullptr, bool onTop = false);
    // The loaded box, or none.
    static Form2 *instance();
    // Closes and destroys the box; the next load creates it anew.
    static void unload();

    QPushButton *okButton() const { return Command1; }
    QLabel *emailLink() const { return Email; }
    QLabel *homepageLink() const { return Homepage; }
    QLabel *creditLine() const { return Label2; }

    // What a link opens: its caption, behind "mailto:" for the address.
    QString emailTarget() const;
    QString homepageTarget() const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public:
    ~Form2() override;

private:
    Form2(QWidget *head, bool onTop);

    QLabel *addLabel(const QString &text, const QRect &geometry);
    void makeLink(QLabel *label);
    void fitTexts();
    void centreOnTheHeadsScreen();
    bool linkMouseEvent(QLabel *link, QEvent *event);
    void openLink(QLabel *link, const QString &target);
    void linkFailed(QLabel *link);
    void Form_Load(bool onTop);
    void Command1_Click();
    void Email_MouseDown();
    void Email_MouseUp();
    void Homepage_MouseDown();
    void Homepage_MouseUp();

    // Controls named as the box's design names them.
    QPushButton *Command1 = nullptr; // OK
    QLabel *Label1 = nullptr; // the program's name
    QLabel *Label2 = nullptr; // the credit line
    QLabel *Email = nullptr;
    QLabel *Homepage = nullptr;

    // The link a button went down on, while it is held; a double-click's
    // second press holds it without opening it again.
    QLabel *PressedLink = nullptr;
    bool PressOpens = false;
    // Placed by the window's frame once the window manager has made one.
    bool CentredByFrame = false;
    QPointer<QWidget> m_head; // the window the box opened for
};

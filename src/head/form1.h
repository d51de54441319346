// The head: a window cut to the outline of a head whose pupils follow the
// pointer, dragged with the left button, with a context menu on the right.
#pragma once

#include "desktop/desktop.h"
#include "desktop/pacer.h"
#include "head/eyeinfo.h"
#include "head/outline.h"

#include <QTimer>
#include <QWidget>
#include <array>

class Picture;
class QAction;
class QMenu;

class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The one head window of the program, reached by name from the About box.
    static Form1 *instance();

    // The timer's interval doubles as the drag flag: 0 while dragging.
    int Timer1Interval() const;
    void setTimer1Interval(int milliseconds);

    // Ticks and mouse events of the head picture; public so that the
    // window's behaviour can be driven directly.
    void Timer1_Timer();
    void Image1_MouseDown(int Button, int Shift, float X, float Y);
    // X and Y are the pointer's position on the screen: positions inside a
    // window that is moving under the pointer lag behind and run away.
    void Image1_MouseMove(int Button, int Shift, float X, float Y);
    void Image1_MouseUp(int Button, int Shift, float X, float Y);

    QWidget *image() const;
    const Picture *eye(int index) const;
    QMenu *popupMenu() const { return mPopupMenu; }
    QAction *alwaysOnTopItem() const { return mAlwaysOnTop; }
    QAction *aboutItem() const { return mAbout; }
    QAction *exitItem() const { return mExit; }
    const OutlinePolygon &outline() const { return Outline; }
    POINT lastCursor() const { return LastCursor; }
    QPointF dragAnchor() const { return { DragX, DragY }; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenu();
    void Form_Load();
    void MoveEye(float Index, const EyeInfo &Eye, float X, float Y);
    void resumeDrag();
    void endDrag();
    void checkDragButton();
    void mAlwaysOnTop_Click();
    void mAbout_Click();
    void mExit_Click();

    Picture *Image1 = nullptr;
    std::array<Picture *, 2> Eye {};
    // Ticks as the pointer moves, at most every Timer1Interval() ms.
    TickPacer Timer1;
    QTimer DragWatch;
    QMenu *mPopupMenu = nullptr;
    QAction *mAlwaysOnTop = nullptr;
    QAction *mAbout = nullptr;
    QAction *mSeparate0 = nullptr;
    QAction *mExit = nullptr;

    std::array<EyeInfo, 2> Eyes {};
    float DragX = 0;
    float DragY = 0;
    OutlinePolygon Outline {};
    POINT LastCursor {};
};

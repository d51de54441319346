// The head: a window cut to the outline of a head whose pupils follow the
// pointer, dragged with the left button, with a context menu on the right.
// src/head/ holds it with its pictures and the plain arithmetic it rests on
// (the head's geometry, the pupil placement, the outline). It asks the
// pointer room where the pointer is and the desktop services for the rest.
#pragma once

#include "desktop/desktop.h"
#include "head/eyeinfo.h"
#include "head/outline.h"
#include "pointer/pacer.h"
#include "pointer/pointer.h"

#include <QTimer>
#include <QWidget>
#include <array>

class Picture;
class QAction;
class QMenu;

// The head window.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

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
    const OutlinePolygon &outline() const { return Outline; }
    POINT lastCursor() const { return LastCursor; }
    QPointF dragAnchor() const { return { DragX, DragY }; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenu();
    void Form_Load(); // the load sequence: outline, stacking, the pupils' records
    // Turns pupil Index toward the client point (X, Y).
    void MoveEye(float Index, const EyeInfo &Eye, float X, float Y);
    bool isOnPupil(const QPointF &imagePoint) const;
    void resumeDrag();
    void endDrag();
    void checkDragButton();
    void applyStacking();
    void mAlwaysOnTop_Click();
    void mAbout_Click();
    void mExit_Click();

    // Names given by the head's design: its controls, the menu items (prefix
    // m) and its state. Ours take the prefix m_.
    Picture *Image1 = nullptr; // the head picture
    std::array<Picture *, 2> Eye {}; // the two pupil pictures
    // The tick, as the pointer moves, at most every Timer1Interval() ms;
    // stopped while dragging.
    TickPacer Timer1;
    QTimer m_dragWatch;
    // A press went to a pupil: it and what follows it, up to the last
    // release, are the pupil's.
    bool m_pupilPressed = false;
    QMenu *mPopupMenu = nullptr; // the context menu
    QAction *mAlwaysOnTop = nullptr;
    QAction *mAbout = nullptr;
    QAction *mSeparate0 = nullptr;
    QAction *mExit = nullptr;

    std::array<EyeInfo, 2> Eyes {}; // where each pupil may move
    float DragX = 0; // the pressed point of the head picture
    float DragY = 0;
    DragStart m_dragStart;
    OutlinePolygon Outline {}; // the polygon the window is cut to
    POINT LastCursor {}; // the pointer's screen position at the last tick
};

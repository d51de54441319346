// The pointer as the Wayland compositor sees it. Under a Wayland session the
// X server knows the pointer only while it is over an X11 window; the
// compositor knows it everywhere. A helper running inside the compositor
// (KWin's script, GNOME Shell's extension) reports it to this process.
#pragma once

#include "pointer/pointersource.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <memory>

class CompositorReceiver;
class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// Says `line` on stderr, after "oglon: ", as the program tells what it does.
void Say(const QString &line);
// Asks the session bus itself `method` (GetNameOwner, NameHasOwner) about
// the bus name `name`, waiting for nothing: the answer comes to the
// watcher's finished(), an error where the bus did not answer within a second.
QDBusPendingCallWatcher *AskSessionBus(const QString &method, const QString &name, QObject *parent);

// Turns the compositor's logical pointer and frame into the program's screen
// and client pixels. The frame's size against the client area's size as the
// program sees it gives the scale between the two, whatever XWayland does to
// its own root coordinates. None for a frame with no area or not of the
// client's shape: not the head's. None too where a point would not fit in
// the program's integers.
std::optional<CursorReading> MapFromCompositor(QPointF pointer, QRectF frame, QSize client);

// Whether a report's six numbers can be the compositor's pointer and frame on
// screens whose whole extent is `screens` (program pixels): finite, and
// within a generous margin of the screens whatever the compositor's scale.
bool ReportInRange(const double (&values)[6], QSize screens);

// A pointer source fed by the compositor's reports. The helper inside the
// compositor calls, on this process's unique name on the session bus,
//     object /org/oglon/Pointer, interface org.oglon.Pointer,
//     report(px, py, fx, fy, fw, fh)   (six numbers; doubles or integers)
// with the pointer (px, py) and the head window's frame (fx, fy, fw, fh) in
// the compositor's logical coordinates, whenever either changed, at most
// every 100 ms and nothing at rest. The frame is the client area: the head
// has no decoration. This class takes the reports from the compositor's own
// bus name only, maps them with MapFromCompositor, emits ready() at the first
// report that has the head's frame and moved() at each report while the
// pacer listens. Reports out of range are dropped and counted. It falls back
// (lost(), problem() says why) when no such report comes within 1.5 s of
// start(), when the compositor leaves the bus, or when the subclass calls
// fail(); then it tries again after 2, 4, 8 ... up to 60 s and sends ready()
// again once reports come. The X server still sees the pointer over X11
// windows: when its pointer moves while no report has come for 2 s, the
// helper is started again, and the source falls back if it stays silent.
// Elsewhere only the compositor sees the pointer: while no report comes, a
// subclass that can asks it whether the helper still runs (after 2 s, then
// about every 8 s), and the helper is started again if not.
// A subclass that reaches the compositor without the bus (the cursor
// session) names no bus name and hands its reports to received() itself.
// A subclass names the compositor's bus name and starts its helper:
// startReports() runs once the receiver is in place and again at each
// retry, stopReports() undoes it (on failure, at exit, and from the
// subclass's own destructor); both must be safe to call again. No call to
// the session bus waits for its answer but stopReports() at exit (quitting()),
// for at most a second or so.
class CompositorPointer : public PointerSource
{
    Q_OBJECT

public:
    ~CompositorPointer() override;

    // Takes the reports and starts the helper; ready() or lost() follows
    // within about 1.5 seconds (after lost(), ready() may come later). Again
    // after a fallback, it tries at once instead of at the next retry.
    void start();
    // Why the source did not start or stopped; empty while it works.
    QString problem() const { return m_problem; }

    std::optional<CursorReading> read(HWND window) override;
    bool readIn(HWND window, int milliseconds, bool wake) override;
    bool reportsMotion() const override { return true; }
    void listen(bool on) override { m_listening = on; }

signals:
    // The first report with the head's frame arrived: the source works.
    void ready();

protected:
    // `service`: the compositor's well-known name on the session bus;
    // `helper`: what reports, as the messages name it ("KWin's script").
    CompositorPointer(HWND head, const QString &service, const QString &helper, QObject *parent);

    // The object the helper sends its reports to.
    static QString reportPath();
    // A call to the compositor, to be sent on the session bus.
    QDBusMessage methodCall(const QString &path, const QString &interface, const QString &method,
        const QVariantList &arguments = {}) const;

    virtual void startReports() = 0;
    virtual void stopReports() = 0;
    // No report with the head's frame within 1.5 s of starting the helper:
    // falls back with what the program can tell; a subclass may ask
    // the compositor why first.
    virtual void noReportInTime();
    // Asked now and then while the reports are missing: a subclass that can
    // ask the compositor whether its helper still runs does so, and calls
    // restartHelper() when it does not.
    virtual void askHelperRunning() { }
    // The helper stopped: it is started again, and the first report's
    // deadline falls back if that does not help. Nothing while it starts.
    void restartHelper();
    // Falls back: the helper is stopped, lost() sent (once, however many
    // retries fail), and a retry set for later.
    // Without `tryAgain`, no retry follows: what is missing will not come.
    void fail(const QString &problem, bool tryAgain = true);
    bool failed() const { return !m_problem.isEmpty(); }
    // A report: the pointer and the frame. Whether it was in range; it is
    // taken if so.
    bool received(const double (&values)[6]);
    // The program is ending: stopReports() may wait, briefly, for the
    // compositor to have stopped the helper.
    bool quitting() const { return m_quitting; }
    HWND head() const { return m_head; }

private:
    friend class CompositorReceiver;
    void requestReports();
    void retry();
    void takeReports(const QString &owner);
    bool reportsStopped();
    void shutDown();

    HWND m_head;
    QString m_service;
    QString m_helper;
    QString m_sender; // the compositor's unique name: the only sender trusted
    std::unique_ptr<CompositorReceiver> m_receiver;
    QDBusServiceWatcher *m_watcher = nullptr;
    QTimer m_firstReport;
    QTimer m_retry;
    int m_retryDelay = 0;
    QElapsedTimer m_sinceReport;
    QElapsedTimer m_sinceQuestion; // asked whether the helper runs
    // The X server's pointer when the reports were last found silent.
    std::optional<POINT> m_xPointer;
    int m_dropped = 0; // reports out of range
    QPointF m_pointer;
    QRectF m_frame;
    bool m_reported = false; // any report came
    bool m_following = false; // a report with the head's frame came
    bool m_listening = false;
    bool m_fallenBack = false; // lost() sent and no ready() since
    bool m_askingOwner = false; // the bus who owns the compositor's name
    bool m_quitting = false;
    QString m_problem;
};

#include "compositorpointer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const QString ReportInterface = QStringLiteral("org.oglon.Pointer");
// The compositor runs its helper at once and the helper reports at once;
// this leaves room for a busy machine.
constexpr int FirstReportTimeout = 1500;
// How long the reports may be missing while the X server sees the pointer
// move before the helper is thought lost.
constexpr int SilenceTimeout = 2000;
// While the reports are missing, how often the compositor is asked whether
// the helper still runs: at every fourth of the pacer's checks at rest (2 s
// apart). A question and its answer wake the program about three times,
// which keeps it below one wake-up a second at rest.
constexpr int QuestionInterval = 7500;
// The bus answers at once; one that has not answered within this time is
// taken for one that does not answer at all.
constexpr int BusAnswerTimeout = 1000;
// The retries after a fallback: the first after 2 s, then twice as long
// each time, up to a minute.
constexpr int FirstRetry = 2000, LongestRetry = 60000;

// 1, 10, 100 ...: a count said at these only.
bool isPowerOfTen(int n)
{
    while (n > 1 && n % 10 == 0)
        n /= 10;
    return n == 1;
}

} // namespace

// Takes the helper's reports, from the compositor only, whatever number types
// its script engine picked for them.
class CompositorReceiver : public QDBusVirtualObject
{
public:
    explicit CompositorReceiver(CompositorPointer *source)
        : m_source(source)
    { }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != ReportInterface || message.member() != QLatin1String("report"))
            return false;
        const QVariantList arguments = message.arguments();
        double values[6];
        bool valid = arguments.size() == 6 && message.service() == m_source->m_sender;
        for (int i = 0; valid && i < 6; ++i)
            values[i] = arguments.at(i).toDouble(&valid);
        valid = valid && m_source->received(values);
        connection.send(valid ? message.createReply()
                              : message.createErrorReply(QDBusError::InvalidArgs, QString()));
        return true;
    }

    QString introspect(const QString &) const override
    {
        return QStringLiteral("<interface name=\"org.oglon.Pointer\"><method name=\"report\">"
                              "<arg type=\"d\"/><arg type=\"d\"/><arg type=\"d\"/>"
                              "<arg type=\"d\"/><arg type=\"d\"/><arg type=\"d\"/>"
                              "</method></interface>");
    }

private:
    CompositorPointer *m_source;
};

void Say(const QString &line)
{
    std::fprintf(stderr, "oglon: %s\n", qPrintable(line));
}

QDBusPendingCallWatcher *AskSessionBus(const QString &method, const QString &name, QObject *parent)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"), method);
    call << name;
    return new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, BusAnswerTimeout), parent);
}

std::optional<CursorReading> MapFromCompositor(QPointF pointer, QRectF frame, QSize client)
{
    if (!(frame.width() > 0 && frame.height() > 0) || client.isEmpty())
        return std::nullopt;
    // The program's logical pixels per compositor logical pixel, on each axis.
    const double kx = client.width() / frame.width();
    const double ky = client.height() / frame.height();
    // The head's frame has the head's shape, give or take a rounded pixel
    // on each side, at a scale some desktop uses.
    if (!(std::abs(client.height() / kx - frame.height()) <= 1.5 && kx >= 0.25 && kx <= 4))
        return std::nullopt;
    const double points[4] = { pointer.x() * kx, pointer.y() * ky, (pointer.x() - frame.x()) * kx,
        (pointer.y() - frame.y()) * ky };
    // Far beyond any screen (or not a number at all): no point the program
    // could hold in its integers.
    for (const double v : points) {
        if (!(std::abs(v) < 1e9))
            return std::nullopt;
    }
    const auto pixel = [](double v) { return int32_t(std::floor(v)); };
    CursorReading reading;
    reading.screen = { pixel(points[0]), pixel(points[1]) };
    reading.client = { pixel(points[2]), pixel(points[3]) };
    return reading;
}

bool ReportInRange(const double (&values)[6], QSize screens)
{
    // The compositor's logical pixels may be up to four times the program's
    // (see MapFromCompositor), and the frame may lie partly off the screens.
    const double limit = 8.0 * std::max({ screens.width(), screens.height(), 1024 });
    for (int i = 0; i < 6; ++i) {
        const double lowest = i < 4 ? -limit : 0.0; // a frame's size is never negative
        if (!(values[i] >= lowest && values[i] <= limit))
            return false;
    }
    return true;
}

CompositorPointer::CompositorPointer(
    HWND head, const QString &service, const QString &helper, QObject *parent)
    : PointerSource(parent)
    , m_head(head)
    , m_service(service)
    , m_helper(helper)
{
    m_firstReport.setSingleShot(true);
    m_firstReport.setInterval(FirstReportTimeout);
    connect(&m_firstReport, &QTimer::timeout, this, &CompositorPointer::noReportInTime);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &CompositorPointer::retry);
    connect(FallbackPointerSource(), &PointerSource::due, this, &PointerSource::due);
    // Every way out passes here: Exit, a termination signal, the window
    // manager closing the head.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &CompositorPointer::shutDown);
}

CompositorPointer::~CompositorPointer()
{
    // The subclass has stopped its helper in its own destructor.
    if (m_receiver)
        QDBusConnection::sessionBus().unregisterObject(reportPath());
}

QString CompositorPointer::reportPath()
{
    return QStringLiteral("/org/oglon/Pointer");
}

QDBusMessage CompositorPointer::methodCall(const QString &path, const QString &interface,
    const QString &method, const QVariantList &arguments) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, path, interface, method);
    call.setArguments(arguments);
    return call;
}

void CompositorPointer::noReportInTime()
{
    fail(m_reported ? m_helper + QStringLiteral(" did not find the head window")
                    : m_helper + QStringLiteral(" sent no report"));
}

void CompositorPointer::start()
{
    if (!m_watcher && !m_service.isEmpty()) {
        m_watcher = new QDBusServiceWatcher(m_service, QDBusConnection::sessionBus(),
            QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { fail(name() + QStringLiteral(" left the session bus")); });
    }
    retry();
}

// Also each later attempt after a fallback: the compositor may have been
// busy, restarted, or had the helper stopped. The bus's answer is waited
// for in the event loop.
void CompositorPointer::retry()
{
    m_retry.stop();
    // A compositor reached without the session bus.
    if (m_service.isEmpty())
        return requestReports();
    if (m_askingOwner)
        return;
    m_askingOwner = true;
    auto *watcher = AskSessionBus(QStringLiteral("GetNameOwner"), m_service, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        m_askingOwner = false;
        const QDBusPendingReply<QString> owner = *w;
        const QDBusError::ErrorType error
            = owner.isError() ? owner.error().type() : QDBusError::NoError;
        if (m_quitting)
            return;
        if (error == QDBusError::NoError)
            return takeReports(owner.value());
        if (error == QDBusError::NoReply || error == QDBusError::Timeout
            || error == QDBusError::TimedOut)
            return fail(QStringLiteral("the session bus does not answer"));
        fail(name() + QStringLiteral(" is not on the session bus"));
    });
}

void CompositorPointer::takeReports(const QString &owner)
{
    m_sender = owner;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!m_receiver) {
        m_receiver = std::make_unique<CompositorReceiver>(this);
        if (!bus.registerVirtualObject(reportPath(), m_receiver.get())) {
            m_receiver.reset();
            return fail(QStringLiteral("cannot take %1's reports on the session bus").arg(name()));
        }
    }
    requestReports();
}

void CompositorPointer::requestReports()
{
    m_problem.clear();
    m_reported = false;
    m_firstReport.start();
    startReports();
}

bool CompositorPointer::received(const double (&values)[6])
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!ReportInRange(values, screen ? screen->virtualSize() : QSize())) {
        ++m_dropped;
        if (isPowerOfTen(m_dropped))
            Say(QStringLiteral("%1 report(s) out of range from %2 dropped")
                    .arg(m_dropped)
                    .arg(m_helper));
        return false;
    }
    if (failed() || m_quitting)
        return true;
    m_pointer = { values[0], values[1] };
    m_frame = QRectF(values[2], values[3], values[4], values[5]);
    m_reported = true;
    m_sinceReport.start();
    m_xPointer.reset();
    // Only a report with the head's frame shows that the compositor follows
    // the pointer for this head; until one comes, the timeout may still fall
    // back.
    if (m_firstReport.isActive() && MapFromCompositor(m_pointer, m_frame, m_head->size())) {
        m_firstReport.stop();
        m_retryDelay = 0;
        if (!m_following) {
            m_following = true;
            m_fallenBack = false;
            emit ready();
        }
    }
    if (m_listening)
        emit moved();
    return true;
}

// The X server sees the pointer over X11 windows, the head among them. When
// its pointer moved while the compositor said nothing for a while, the
// helper has stopped reporting: it is started again, and the first-report
// timeout falls back if that does not help. Over other windows only the
// compositor sees the pointer, so while the reports are missing it is asked
// now and then whether the helper still runs (a subclass that can ask does).
// Asked at the pacer's checks, which come at least every 2 s.
bool CompositorPointer::reportsStopped()
{
    if (m_sinceReport.elapsed() < SilenceTimeout) {
        m_xPointer.reset();
        return false;
    }
    if (!m_sinceQuestion.isValid() || m_sinceQuestion.elapsed() >= QuestionInterval) {
        m_sinceQuestion.start();
        askHelperRunning();
    }
    const std::optional<CursorReading> x = FallbackPointerSource()->read(nullptr);
    if (!x)
        return false;
    const bool moved = m_xPointer && x->screen != *m_xPointer;
    m_xPointer = x->screen;
    if (moved)
        restartHelper();
    return moved;
}

void CompositorPointer::restartHelper()
{
    if (failed() || m_quitting || m_firstReport.isActive())
        return;
    m_xPointer.reset();
    stopReports();
    requestReports();
}

// While the reports are missing each of the pacer's checks reads the X
// server's pointer (see reportsStopped): the server holds that question until
// the check is due, so that a check wakes the program once instead of three
// times (the timer, Qt's X reader, the answer).
bool CompositorPointer::readIn(HWND, int milliseconds, bool wake)
{
    PointerSource *x = FallbackPointerSource();
    return m_following && m_sinceReport.elapsed() + milliseconds >= SilenceTimeout
        && x->readIn(nullptr, milliseconds, wake);
}

std::optional<CursorReading> CompositorPointer::read(HWND window)
{
    // The head has no frame, so the compositor's frame is its client area.
    // Any other window is not the one the compositor reports on; no window
    // asks for the screen point alone. While the helper restarts, the source
    // has nothing to tell.
    if (!m_following || m_firstReport.isActive() || (window && window != m_head)
        || reportsStopped())
        return std::nullopt;
    return MapFromCompositor(m_pointer, m_frame, m_head->size());
}

void CompositorPointer::fail(const QString &problem, bool tryAgain)
{
    if (failed() || m_quitting)
        return;
    m_problem = problem;
    m_firstReport.stop();
    stopReports();
    m_following = false;
    m_retryDelay = qBound(FirstRetry, m_retryDelay * 2, LongestRetry);
    if (tryAgain)
        m_retry.start(m_retryDelay);
    if (!m_fallenBack) {
        m_fallenBack = true;
        emit lost();
    }
}

void CompositorPointer::shutDown()
{
    m_quitting = true;
    m_firstReport.stop();
    m_retry.stop();
    stopReports();
    if (m_receiver) {
        QDBusConnection::sessionBus().unregisterObject(reportPath());
        m_receiver.reset();
    }
}

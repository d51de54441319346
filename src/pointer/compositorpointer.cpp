#include "compositorpointer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QWidget>
#include <cmath>

namespace {

const QString ReportPath = QStringLiteral("/org/oglon/Pointer");
const QString ReportInterface = QStringLiteral("org.oglon.Pointer");
// The compositor runs its helper at once and the helper reports at once;
// this leaves room for a busy machine.
constexpr int FirstReportTimeout = 1500;

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
        connection.send(valid ? message.createReply()
                              : message.createErrorReply(QDBusError::InvalidArgs, QString()));
        if (valid)
            m_source->received(
                { values[0], values[1] }, QRectF(values[2], values[3], values[4], values[5]));
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

std::optional<CursorReading> MapFromCompositor(QPointF pointer, QRectF frame, QSize client)
{
    if (frame.width() <= 0 || frame.height() <= 0 || client.isEmpty())
        return std::nullopt;
    // The program's logical pixels per compositor logical pixel, on each axis.
    const double kx = client.width() / frame.width();
    const double ky = client.height() / frame.height();
    // The head's frame has the head's shape, give or take a rounded pixel
    // on each side, at a scale some desktop uses.
    if (std::abs(client.height() / kx - frame.height()) > 1.5 || kx < 0.25 || kx > 4)
        return std::nullopt;
    const auto pixel = [](double v) { return int32_t(std::floor(v)); };
    CursorReading reading;
    reading.screen = { pixel(pointer.x() * kx), pixel(pointer.y() * ky) };
    reading.client
        = { pixel((pointer.x() - frame.x()) * kx), pixel((pointer.y() - frame.y()) * ky) };
    return reading;
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
    // Every way out passes here: Exit, a termination signal, the window
    // manager closing the head.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &CompositorPointer::shutDown);
}

CompositorPointer::~CompositorPointer()
{
    // The subclass has stopped its helper in its own destructor.
    if (m_receiver)
        QDBusConnection::sessionBus().unregisterObject(ReportPath);
}

void CompositorPointer::noReportInTime()
{
    fail(m_reported ? m_helper + QStringLiteral(" did not find the head window")
                    : m_helper + QStringLiteral(" sent no report"));
}

void CompositorPointer::start()
{
    m_problem.clear();
    m_reported = m_following = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_sender = bus.interface()->serviceOwner(m_service);
    if (m_sender.isEmpty())
        return fail(name() + QStringLiteral(" is not on the session bus"));
    m_receiver = std::make_unique<CompositorReceiver>(this);
    if (!bus.registerVirtualObject(ReportPath, m_receiver.get())) {
        m_receiver.reset();
        return fail(QStringLiteral("cannot take %1's reports on the session bus").arg(name()));
    }
    if (!m_watcher) {
        m_watcher = new QDBusServiceWatcher(
            m_service, bus, QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { fail(name() + QStringLiteral(" left the session bus")); });
    }
    m_firstReport.start();
    startReports();
}

void CompositorPointer::received(QPointF pointer, QRectF frame)
{
    if (failed())
        return;
    m_pointer = pointer;
    m_frame = frame;
    m_reported = true;
    // Only a report with the head's frame shows that the compositor follows
    // the pointer for this head; until one comes, the timeout may still fall
    // back.
    if (!m_following && MapFromCompositor(pointer, frame, m_head->size())) {
        m_following = true;
        m_firstReport.stop();
        emit ready();
    }
    if (m_listening)
        emit moved();
}

std::optional<CursorReading> CompositorPointer::read(HWND window)
{
    // The head has no frame, so the compositor's frame is its client area.
    // Any other window is not the one the compositor reports on; no window
    // asks for the screen point alone.
    if (!m_following || failed() || (window && window != m_head))
        return std::nullopt;
    return MapFromCompositor(m_pointer, m_frame, m_head->size());
}

void CompositorPointer::fail(const QString &problem)
{
    if (failed())
        return;
    m_problem = problem;
    m_firstReport.stop();
    shutDown();
    emit lost();
}

void CompositorPointer::shutDown()
{
    stopReports();
    if (m_receiver) {
        QDBusConnection::sessionBus().unregisterObject(ReportPath);
        m_receiver.reset();
    }
}

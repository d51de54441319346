#include "sessionbus.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A bus answers its clients at once; this leaves room for a busy machine
// and for a bus that systemd starts on the first connection.
constexpr int AnswerTimeout = 500;
// libdbus knows no such transport and fails at once.
constexpr const char *NoBus = "disabled:";

struct UnixSocket
{
    sockaddr_un address = {};
    socklen_t length = 0;
};

// The socket of an address entry "unix:path=..." or "unix:abstract=...";
// none for any other kind of entry.
std::optional<UnixSocket> unixSocket(const QByteArray &entry)
{
    if (!entry.startsWith("unix:"))
        return std::nullopt;
    for (const QByteArray &pair : entry.mid(5).split(',')) {
        const bool abstract = pair.startsWith("abstract=");
        if (!abstract && !pair.startsWith("path="))
            continue;
        const QByteArray name = QByteArray::fromPercentEncoding(pair.mid(pair.indexOf('=') + 1));
        UnixSocket socket;
        if (name.isEmpty() || size_t(name.size()) + 1 > sizeof socket.address.sun_path)
            return std::nullopt;
        socket.address.sun_family = AF_UNIX;
        // An abstract name starts with a nul byte.
        std::memcpy(socket.address.sun_path + abstract, name.constData(), size_t(name.size()));
        socket.length = socklen_t(offsetof(sockaddr_un, sun_path) + abstract + name.size());
        return socket;
    }
    return std::nullopt;
}

enum class Bus { Answers, Silent, Unknown };

// Whether the bus at `socket` answers the first line of a login (the nul
// byte, then AUTH EXTERNAL with the user's id) before the deadline; a bus
// that refuses or hangs up answers too. Unknown where nothing listens.
Bus ask(const UnixSocket &socket, const QElapsedTimer &clock)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return Bus::Unknown;
    Bus bus = Bus::Unknown;
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&socket.address), socket.length) != 0) {
        // A full backlog: the bus accepts no one.
        bus = errno == EAGAIN ? Bus::Silent : Bus::Unknown;
    } else {
        const QByteArray login = QByteArray(1, '\0') + "AUTH EXTERNAL "
            + QByteArray::number(::getuid()).toHex() + "\r\n";
        bus = Bus::Silent;
        if (::send(fd, login.constData(), size_t(login.size()), MSG_NOSIGNAL) != login.size())
            bus = Bus::Answers;
        pollfd reply = { fd, POLLIN, 0 };
        while (bus == Bus::Silent && clock.elapsed() < AnswerTimeout) {
            const int ready = ::poll(&reply, 1, std::max(0, int(AnswerTimeout - clock.elapsed())));
            if (ready > 0)
                bus = Bus::Answers;
            else if (ready < 0 && errno != EINTR)
                bus = Bus::Unknown;
        }
    }
    ::close(fd);
    return bus;
}

// libdbus tries the entries of the address in turn until one connects.
Bus askSessionBus(const QByteArray &address)
{
    QElapsedTimer clock;
    clock.start();
    for (const QByteArray &entry : address.split(';')) {
        const std::optional<UnixSocket> socket = unixSocket(entry);
        if (!socket)
            return Bus::Unknown;
        if (const Bus bus = ask(*socket, clock); bus != Bus::Unknown)
            return bus;
    }
    return Bus::Unknown;
}

} // namespace

SessionBusCheck::SessionBusCheck()
{
    m_address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    // Where none is set, libdbus looks in the user's runtime directory.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray address = !m_address.isEmpty() ? m_address
        : !runtime.isEmpty()                        ? "unix:path=" + runtime + "/bus"
                                                    : QByteArray();
    if (address.isEmpty() || askSessionBus(address) != Bus::Silent)
        return;
    std::fprintf(stderr,
        "oglon: the session bus (%s) does not answer; going on without it: no screen "
        "reader, no pointer from the Wayland compositor\n",
        address.constData());
    qputenv("DBUS_SESSION_BUS_ADDRESS", NoBus);
    m_setAside = true;
}

void SessionBusCheck::qtStarted()
{
    if (!m_setAside)
        return;
    // Qt keeps the connection it made first, failed or not, and libdbus the
    // address it read first.
    QDBusConnection::sessionBus();
    if (m_address.isEmpty())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
    m_setAside = false;
}

#else

SessionBusCheck::SessionBusCheck() { }
void SessionBusCheck::qtStarted() { }

#endif

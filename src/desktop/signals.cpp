#include "signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What the signal handler shares with the event loop. A handler may do next
// to nothing: end the process, or write to a socket.
struct SignalPipe
{
    int ends[2] = { -1, -1 }; // the handler writes to [0], the event loop reads [1]
    std::atomic<bool> loopRuns { false };
} signalPipe;
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

void onSignal(int)
{
    if (!signalPipe.loopRuns)
        ::_exit(0);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe.ends[0], &byte, 1);
}

} // namespace

void EndOnTerminationSignals()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        sigaction(signal, &action, nullptr);
    // These would end the program on the spot too, unless whoever started
    // it chose to ignore them.
    for (int signal : { SIGUSR1, SIGUSR2, SIGALRM, SIGPIPE }) {
        struct sigaction before = {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_DFL)
            sigaction(signal, &action, nullptr);
    }
}

void QuitOnTerminationSignals()
{
    // Without the socket the signals go on ending the program at once.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe.ends) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe.ends[1], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char byte;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe.ends[1], &byte, 1);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(0, qApp, [] { signalPipe.loopRuns = true; });
}

#else

void EndOnTerminationSignals() { }
void QuitOnTerminationSignals() { }

#endif

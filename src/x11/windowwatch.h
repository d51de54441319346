// The server's own notices about the program's windows: destroyed, mapped,
// withdrawn.
#pragma once

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

namespace X11 {

// Calls `destroyed` with the id of every window of ours that is destroyed,
// `mapped` with that of every one mapped, `unmapped` with that of every one
// unmapped, `withdrawn` with that of every
// one left unmapped and unmanaged (unmapped by another client, or released by
// a window manager), and `statesChanged` with that of every one whose
// _NET_WM_STATE changed, as long as it lives. Another client can send any event
// to any window (XSendEvent); such sent notices are not the server's word
// and are dropped before Qt sees them.
class WindowWatch : public QAbstractNativeEventFilter
{
public:
    WindowWatch();
    ~WindowWatch() override;
    Q_DISABLE_COPY(WindowWatch)

    std::function<void(unsigned long)> destroyed;
    std::function<void(unsigned long)> mapped;
    std::function<void(unsigned long)> unmapped;
    std::function<void(unsigned long)> withdrawn;
    std::function<void(unsigned long)> statesChanged;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override;

private:
    bool checkWithdrawn(bool sent, uint32_t window);

    uint32_t m_wmState = 0;
    uint32_t m_netWmState = 0;
};

} // namespace X11

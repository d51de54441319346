// The session bus as the program's start finds it.
#pragma once

#include <QByteArray>

// Qt talks to the session bus while it starts and while the head is made
// (accessibility, the desktop's theme), and waits for each answer: a bus that
// takes connections but never answers (its daemon stopped, a socket nobody
// serves) holds the start for good. Before Qt starts, the check asks the bus
// for the first answer of a login, for at most half a second. Where none
// comes, it says so in one line and sends this process's use of the bus to
// an address that fails at once, until qtStarted().
class SessionBusCheck
{
public:
    SessionBusCheck();
    SessionBusCheck(const SessionBusCheck &) = delete;
    SessionBusCheck &operator=(const SessionBusCheck &) = delete;

    // Qt has made its connection to the session bus, or failed to, for good:
    // the programs the user opens from now on (a link's browser) get the
    // real address back.
    void qtStarted();

private:
    bool m_setAside = false;
    QByteArray m_address; // the real one; empty where none was set
};

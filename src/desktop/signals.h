// Ending the program cleanly when the system asks it to.
#pragma once

// SIGTERM, SIGINT and SIGHUP end the event loop with status 0, so that the
// windows close and everything is freed as on Exit; so do SIGUSR1, SIGUSR2,
// SIGALRM and SIGPIPE where they are not ignored.
void QuitOnTerminationSignals();

// Ending the program cleanly when the system asks it to.
#pragma once

// SIGTERM, SIGINT and SIGHUP end the event loop with status 0, so that the
// windows close and everything is freed as on Exit.
void QuitOnTerminationSignals();

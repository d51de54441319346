// Ending the program cleanly when the system asks it to.
#pragma once

// SIGTERM, SIGINT and SIGHUP end the program with status 0; so do SIGUSR1,
// SIGUSR2, SIGALRM and SIGPIPE where they are not ignored. Until the event
// loop runs they end it at once: the start may be waiting on something that
// never answers (a session bus), and nothing needs closing yet. Called first.
void EndOnTerminationSignals();
// From the event loop's start on, the signals end the event loop instead,
// so that the windows close and everything is freed as on Exit. Called once
// the application exists.
void QuitOnTerminationSignals();

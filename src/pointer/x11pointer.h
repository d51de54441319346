// The X server's pointer source.
#pragma once

#include "pointer/pointersource.h"

// The X server's pointer source, or none without an X server. It reports
// motion where the server offers XInput2 raw events (2.2 or later, so that
// motion during another client's pointer grab is seen) and is polled where
// not. OGLON_POLL_POINTER=1 makes it a polled one everywhere, for tests.
PointerSource *CreateXServerPointerSource();

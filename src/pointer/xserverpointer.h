// The X server's pointer source.
#pragma once

#include "pointer/pointersource.h"

// The X server's pointer source, or none without an X server. It reports
// motion where the server offers XInput2 raw events and is polled where
// not; where the server keeps a clock (SYNC), it times its own readings.
PointerSource *CreateXServerPointerSource();

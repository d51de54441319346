// Stand-ins for platforms without X11: the callers fall back to Qt.
#include "x11.h"

namespace X11 {

bool available()
{
    return false;
}
std::optional<Pointer> queryPointer(unsigned long)
{
    return std::nullopt;
}
bool setInputShape(unsigned long, const QRegion &)
{
    return false;
}
bool addSkipTaskbarState(unsigned long)
{
    return false;
}
PointerSource *createPointerSource()
{
    return nullptr;
}
std::optional<bool> leftButtonDown()
{
    return std::nullopt;
}

} // namespace X11

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
bool setShapes(unsigned long, const QRegion &)
{
    return false;
}
bool setOnTopLayer(unsigned long, bool)
{
    return false;
}
bool resizeTo(unsigned long, QSize)
{
    return false;
}
bool moveClientTo(unsigned long, QPoint)
{
    return false;
}
void watchDestroyed(const std::function<void(unsigned long)> &) { }
void watchMapping(
    const std::function<void(unsigned long)> &, const std::function<void(unsigned long)> &)
{ }
bool mapWindow(unsigned long)
{
    return false;
}
bool canConnect(const char *)
{
    return true;
}
void endConnectCheck() { }
bool connectionBroken()
{
    return false;
}
bool addSkipTaskbarState(unsigned long)
{
    return false;
}
bool setStates(unsigned long, const QList<QByteArray> &)
{
    return false;
}
bool addState(unsigned long, const char *)
{
    return false;
}
bool putImage(unsigned long, QPoint, const QImage &)
{
    return false;
}
void flush() { }
std::optional<bool> leftButtonDown()
{
    return std::nullopt;
}

} // namespace X11

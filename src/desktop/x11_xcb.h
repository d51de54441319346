// What the X11 code shares on Qt's own connection to the X server: the
// connection, the root window and an owner for the replies xcb hands out.
// For code built only where xcb is.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace X11 {

// Qt's connection to the X server, or none when Qt runs on another platform.
xcb_connection_t *connection();

xcb_window_t rootWindow(xcb_connection_t *c);

// An xcb reply (or error), freed when it goes.
struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

} // namespace X11

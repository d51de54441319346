// What the files of src/x11/ share: Qt's connection, the root window, atoms
// and an owner for the replies xcb hands out.
#pragma once

#include "x11.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace X11 {

// Qt's connection to the X server, or none when Qt runs on another platform.
xcb_connection_t *connection();

xcb_window_t rootWindow(xcb_connection_t *c);

xcb_atom_t atom(xcb_connection_t *c, const char *name);

// Whether the server offers the extension to this client.
bool hasExtension(xcb_connection_t *c, xcb_extension_t *extension);

// An xcb reply (or error), freed when it goes.
struct FreeReply
{
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply>;

// The pointer from a QueryPointer's reply, or none from its error; frees both.
std::optional<Pointer> pointerFrom(xcb_query_pointer_reply_t *reply, xcb_generic_error_t *error);

} // namespace X11

/* A pointer for compositors built on wlroots (sway, labwc), through their
 * virtual pointer protocol. Reads lines on stdin, "X Y" to move the pointer
 * to that point of the output layout (logical pixels) or "click BUTTON" (a
 * Linux button code), and answers "done" once the compositor has taken the
 * request ("off the layout" for a point outside every output). The device lives as long as the
 * client: a headless compositor has no other, and without one the seat has no pointer for XWayland
 * or anyone. */
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

#define MAX_OUTPUTS 16

/* An output's place in the layout, as xdg-output tells it. */
struct output
{
    int x, y, width, height;
};

static struct wl_seat *seat;
static struct zwlr_virtual_pointer_manager_v1 *manager;
static struct zxdg_output_manager_v1 *xdg_output_manager;
static struct wl_output *wl_outputs[MAX_OUTPUTS];
static struct output outputs[MAX_OUTPUTS];
static int output_count;

static void logical_position(void *data, struct zxdg_output_v1 *xdg_output, int32_t x, int32_t y)
{
    (void)xdg_output;
    struct output *output = data;
    output->x = x;
    output->y = y;
}

static void logical_size(
    void *data, struct zxdg_output_v1 *xdg_output, int32_t width, int32_t height)
{
    (void)xdg_output;
    struct output *output = data;
    output->width = width;
    output->height = height;
}

static void ignore_done(void *data, struct zxdg_output_v1 *xdg_output)
{
    (void)data;
    (void)xdg_output;
}

static void ignore_text(void *data, struct zxdg_output_v1 *xdg_output, const char *text)
{
    (void)data;
    (void)xdg_output;
    (void)text;
}

static const struct zxdg_output_v1_listener xdg_output_listener
    = { logical_position, logical_size, ignore_done, ignore_text, ignore_text };

static void announced(void *data, struct wl_registry *registry, uint32_t name,
    const char *interface, uint32_t version)
{
    (void)data;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 && version >= 2)
        xdg_output_manager = wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, 2);
    else if (strcmp(interface, wl_output_interface.name) == 0 && output_count < MAX_OUTPUTS)
        wl_outputs[output_count++] = wl_registry_bind(registry, name, &wl_output_interface, 1);
}

static void removed(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = { announced, removed };

/* The box around every output, which absolute motion spans. */
static void layout_box(int *x, int *y, int *width, int *height)
{
    int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
    for (int i = 0; i < output_count; ++i) {
        const struct output *o = &outputs[i];
        left = o->x < left ? o->x : left;
        top = o->y < top ? o->y : top;
        right = o->x + o->width > right ? o->x + o->width : right;
        bottom = o->y + o->height > bottom ? o->y + o->height : bottom;
    }
    *x = left;
    *y = top;
    *width = right - left;
    *height = bottom - top;
}

int main(void)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "virtual-pointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !manager || !xdg_output_manager || output_count == 0) {
        fprintf(stderr, "virtual-pointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    for (int i = 0; i < output_count; ++i) {
        struct zxdg_output_v1 *xdg_output
            = zxdg_output_manager_v1_get_xdg_output(xdg_output_manager, wl_outputs[i]);
        zxdg_output_v1_add_listener(xdg_output, &xdg_output_listener, &outputs[i]);
    }
    struct zwlr_virtual_pointer_v1 *pointer
        = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    puts("ready");
    fflush(stdout);

    char line[64];
    uint32_t time = 0;
    while (fgets(line, sizeof line, stdin)) {
        int x, y;
        unsigned button;
        time += 10;
        if (sscanf(line, "click %u", &button) == 1) {
            zwlr_virtual_pointer_v1_button(pointer, time, button, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, time, button, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (sscanf(line, "%d %d", &x, &y) == 2) {
            /* The outputs as they are now: a scale may have changed. */
            if (wl_display_roundtrip(display) < 0)
                return 1;
            int left, top, width, height;
            layout_box(&left, &top, &width, &height);
            if (x < left || y < top || x >= left + width || y >= top + height) {
                puts("off the layout");
                fflush(stdout);
                continue;
            }
            zwlr_virtual_pointer_v1_motion_absolute(
                pointer, time, (uint32_t)(x - left), (uint32_t)(y - top), width, height);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else {
            continue;
        }
        if (wl_display_roundtrip(display) < 0)
            return 1;
        puts("done");
        fflush(stdout);
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_disconnect(display);
    return 0;
}

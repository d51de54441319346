/* Moves KWin's pointer through its fake-input Wayland protocol. Reads lines on
 * stdin, "X Y" to move the pointer there or "click BUTTON" (a Linux button
 * code), and answers "done" once KWin has taken the request. Stays connected
 * until stdin ends: KWin drops the fake pointer device when its client goes. */
#include "fake-input-client-protocol.h"

#include <stdio.h>
#include <string.h>
#include <wayland-client.h>

static struct org_kde_kwin_fake_input *fake_input;

static void announced(void *data, struct wl_registry *registry, uint32_t name,
    const char *interface, uint32_t version)
{
    (void)data;
    if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 3)
        fake_input = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 3);
}

static void removed(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = { announced, removed };

int main(void)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "fake-pointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!fake_input) {
        fprintf(stderr, "fake-pointer: the compositor offers no fake input\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(fake_input, "oglon tests", "moves the pointer");
    wl_display_roundtrip(display);
    puts("ready");
    fflush(stdout);

    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        double x, y;
        unsigned button;
        if (sscanf(line, "click %u", &button) == 1) {
            org_kde_kwin_fake_input_button(fake_input, button, 1);
            org_kde_kwin_fake_input_button(fake_input, button, 0);
        } else if (sscanf(line, "%lf %lf", &x, &y) == 2) {
            org_kde_kwin_fake_input_pointer_motion_absolute(
                fake_input, wl_fixed_from_double(x), wl_fixed_from_double(y));
        } else {
            continue;
        }
        if (wl_display_roundtrip(display) < 0)
            return 1;
        puts("done");
        fflush(stdout);
    }
    wl_display_disconnect(display);
    return 0;
}

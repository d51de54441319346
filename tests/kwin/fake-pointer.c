/* Moves KWin's pointer through its fake-input Wayland protocol. Reads lines on
 * stdin, "X Y" to move the pointer there or "click BUTTON" (a Linux button
 * code), and answers "done" once KWin has taken the request. For bench/,
 * "circle CX CY R RATE SECONDS" moves it around that circle, one turn a
 * second, RATE steps a second as a mouse reporting that often would, and
 * answers "done STEPS" once KWin has taken them all. Stays connected until stdin
 * ends: KWin drops the fake pointer device when its client goes. */
#include "fake-input-client-protocol.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
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

/* One step every 1/rate s on the clock, however long a step took; a step that
 * is late goes at once. Each waits for KWin to take it, as a device's events
 * wait for the compositor to read them. */
static long circle(struct wl_display *display, double cx, double cy, double r, double rate,
    double seconds)
{
    const long steps = (long)(rate * seconds);
    struct timespec start, due;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (long i = 0; i < steps; ++i) {
        const double t = i / rate;
        const double ns = start.tv_nsec + t * 1e9;
        due.tv_sec = start.tv_sec + (time_t)(ns / 1e9);
        due.tv_nsec = (long)fmod(ns, 1e9);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, NULL);
        const double angle = 2 * M_PI * t;
        org_kde_kwin_fake_input_pointer_motion_absolute(fake_input,
            wl_fixed_from_double(cx + r * cos(angle)), wl_fixed_from_double(cy + r * sin(angle)));
        if (wl_display_roundtrip(display) < 0)
            return -1;
    }
    return steps;
}

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
        double x, y, r, rate, seconds;
        unsigned button;
        if (sscanf(line, "circle %lf %lf %lf %lf %lf", &x, &y, &r, &rate, &seconds) == 5) {
            const long steps = circle(display, x, y, r, rate, seconds);
            if (steps < 0)
                return 1;
            printf("done %ld\n", steps);
            fflush(stdout);
            continue;
        }
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

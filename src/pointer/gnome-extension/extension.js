// Oglon's pointer reporter for GNOME Shell. Under Wayland Oglon runs through
// XWayland, whose X server knows the pointer only while it is over an X11
// window; the shell knows it everywhere. A running Oglon subscribes with its
// head window, and the extension tells that Oglon where the pointer is and
// where the window's frame lies, in the shell's logical coordinates: only
// changes, at most one report per 100 ms, nothing while the pointer rests.
//
// Written as an ES module for GNOME Shell 45 and later; the build turns the
// same file into the legacy format of GNOME Shell 43 and 44.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const ObjectPath = '/org/oglon/PointerReporter';
const ReporterInterface = `<node>
  <interface name="org.oglon.PointerReporter">
    <method name="Subscribe"><arg name="window" type="t" direction="in"/></method>
    <method name="Unsubscribe"/>
  </interface>
</node>`;
// Where each subscriber takes the reports: the same call as KWin's script makes.
const ReportPath = '/org/oglon/Pointer';
const ReportInterface = 'org.oglon.Pointer';
const Pause = 100; // milliseconds between two reports to one subscriber

// The X window id that mutter puts at the start of an X11 window's
// description ("0x1e00003", followed by the title from GNOME 48 on).
function xWindowId(window) {
    const match = /^0x([0-9a-f]+)\b/.exec(window.get_description() ?? '');
    return match ? parseInt(match[1], 16) : -1;
}

// One Oglon process that asked for reports, and the head window it named.
class Subscriber {
    constructor(name, pid, windowId, onChange, onVanish) {
        this.name = name;
        this.pid = pid;
        this.windowId = windowId;
        this.window = null;
        this._onChange = onChange;
        this._lastReport = '';
        this._windowSignals = [];
        this._hearing = true;
        this._watch = Gio.bus_watch_name_on_connection(Gio.DBus.session, name,
            Gio.BusNameWatcherFlags.NONE, null, () => onVanish(this));
    }

    // Takes `window` as the head when it is the one named and belongs to the
    // subscriber's own process; false when the process does not own it.
    adopt(window) {
        if (xWindowId(window) !== this.windowId)
            return true;
        if (window.get_pid() !== this.pid)
            return false;
        this.forgetWindow();
        this.window = window;
        this._heedWindow(this._hearing);
        this._unmanaged = window.connect('unmanaged', () => this.forgetWindow());
        return true;
    }

    forgetWindow() {
        if (!this.window)
            return;
        this._heedWindow(false);
        this.window.disconnect(this._unmanaged);
        this.window = null;
    }

    // Hears the head's moves (on) or leaves them unheard (off).
    hear(on) {
        this._hearing = on;
        this._heedWindow(on);
    }

    _heedWindow(on) {
        if (!this.window || on === this._windowSignals.length > 0)
            return;
        if (on) {
            this._windowSignals = ['position-changed', 'size-changed'].map(
                signal => this.window.connect(signal, this._onChange));
        } else {
            for (const id of this._windowSignals)
                this.window.disconnect(id);
            this._windowSignals = [];
        }
    }

    // Sends the pointer and the frame when either changed; true when it did.
    report(pointer) {
        if (!this.window)
            return false;
        const frame = this.window.get_frame_rect();
        const values = [pointer[0], pointer[1], frame.x, frame.y, frame.width, frame.height];
        const text = values.join(' ');
        if (text === this._lastReport)
            return false;
        this._lastReport = text;
        Gio.DBus.session.call(this.name, ReportPath, ReportInterface, 'report',
            new GLib.Variant('(dddddd)', values), null, Gio.DBusCallFlags.NO_AUTO_START, 1000,
            null, (bus, result) => {
                try {
                    bus.call_finish(result);
                } catch {
                    // Gone or not listening: the name watch forgets the gone.
                }
            });
        return true;
    }

    destroy() {
        Gio.bus_unwatch_name(this._watch);
        this.forgetWindow();
    }
}

class Reporter {
    constructor() {
        this._subscribers = new Map(); // unique bus name -> Subscriber
        this._requests = new Map(); // unique bus name -> its Subscribe being checked
        this._timer = 0;
        this._moved = 0; // the pointer's motion signal, while heard
        this._tracker = global.backend?.get_cursor_tracker?.() ??
            Meta.CursorTracker.get_for_display(global.display);
        this._changed = () => this._pointerMayHaveMoved();
        this._windowCreated = global.display.connect('window-created',
            (display, window) => this._adoptEverywhere(window));
        this._dbus = Gio.DBusExportedObject.wrapJSObject(ReporterInterface, this);
        this._dbus.export(Gio.DBus.session, ObjectPath);
    }

    destroy() {
        this._dbus.unexport();
        this._dbus = null;
        global.display.disconnect(this._windowCreated);
        for (const subscriber of [...this._subscribers.values()])
            this._forget(subscriber);
    }

    // Only the process that owns the window may watch the pointer through it.
    SubscribeAsync([windowId], invocation) {
        const name = invocation.get_sender();
        // An Unsubscribe that comes while the bus is asked cancels this.
        const request = {};
        this._requests.set(name, request);
        Gio.DBus.session.call('org.freedesktop.DBus', '/org/freedesktop/DBus',
            'org.freedesktop.DBus', 'GetConnectionUnixProcessID', new GLib.Variant('(s)', [name]),
            new GLib.VariantType('(u)'), Gio.DBusCallFlags.NONE, -1, null, (bus, result) => {
                let pid;
                try {
                    [pid] = bus.call_finish(result).deepUnpack();
                } catch {
                    pid = -1;
                }
                if (this._requests.get(name) !== request) {
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.Failed',
                        'Unsubscribed meanwhile');
                    return;
                }
                this._requests.delete(name);
                if (!this._subscribe(name, pid, windowId)) {
                    invocation.return_dbus_error('org.freedesktop.DBus.Error.AccessDenied',
                        'The window belongs to another process');
                    return;
                }
                invocation.return_value(null);
            });
    }

    UnsubscribeAsync(params, invocation) {
        this._requests.delete(invocation.get_sender());
        const subscriber = this._subscribers.get(invocation.get_sender());
        if (subscriber)
            this._forget(subscriber);
        invocation.return_value(null);
    }

    _subscribe(name, pid, windowId) {
        if (pid <= 0 || this._dbus === null)
            return false;
        const old = this._subscribers.get(name);
        if (old)
            this._forget(old);
        const subscriber = new Subscriber(name, pid, Number(windowId), this._changed,
            gone => this._forget(gone));
        // The head may not be mapped yet: then it is taken when it appears.
        for (const actor of global.get_window_actors()) {
            if (!subscriber.adopt(actor.meta_window)) {
                subscriber.destroy();
                return false;
            }
        }
        this._subscribers.set(name, subscriber);
        this._hear(this._timer === 0);
        this._pointerMayHaveMoved();
        return true;
    }

    _adoptEverywhere(window) {
        for (const subscriber of [...this._subscribers.values()]) {
            if (!subscriber.adopt(window))
                this._forget(subscriber);
        }
        this._pointerMayHaveMoved();
    }

    _forget(subscriber) {
        if (this._subscribers.get(subscriber.name) !== subscriber)
            return;
        this._subscribers.delete(subscriber.name);
        subscriber.destroy();
        if (this._subscribers.size > 0)
            return;
        this._hear(false);
        if (this._timer)
            GLib.source_remove(this._timer);
        this._timer = 0;
    }

    // Hears the pointer's motion and the heads' moves (on) or leaves them
    // unheard (off).
    _hear(on) {
        if (on && !this._moved)
            this._moved = this._tracker.connect('position-invalidated', this._changed);
        else if (!on && this._moved)
            this._tracker.disconnect(this._moved);
        if (!on)
            this._moved = 0;
        for (const subscriber of this._subscribers.values())
            subscriber.hear(on);
    }

    // The first change is reported at once; then, as long as the pointer or a
    // head keeps changing, they are read every 100 ms and the shell's signals
    // go unheard, however often the mouse reports. A reading that finds
    // nothing new ends that, and the next change starts it again.
    _pointerMayHaveMoved() {
        if (this._timer || !this._reportAll())
            return;
        this._hear(false);
        this._timer = GLib.timeout_add(GLib.PRIORITY_DEFAULT, Pause, () => {
            if (this._reportAll())
                return GLib.SOURCE_CONTINUE;
            this._timer = 0;
            this._hear(true);
            return GLib.SOURCE_REMOVE;
        });
    }

    _reportAll() {
        const [x, y] = global.get_pointer();
        let sent = false;
        for (const subscriber of this._subscribers.values())
            sent = subscriber.report([x, y]) || sent;
        return sent;
    }
}

export default class OglonPointerExtension extends Extension {
    enable() {
        this._reporter = new Reporter();
    }

    disable() {
        this._reporter.destroy();
        this._reporter = null;
    }
}

// For the tests only, on request over D-Bus: moves and clicks the pointer as a
// mouse would, through a Clutter virtual pointer (XTEST moves only XWayland's
// pointer, mutter's remote desktop only relatively without a screen cast);
// hides the overview the shell opens at start; counts the processes Oglon's
// extension reports to.
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const MoverInterface = `<node>
  <interface name="org.oglon.TestPointer">
    <method name="Move"><arg type="d" direction="in"/><arg type="d" direction="in"/></method>
    <method name="Click"><arg type="u" direction="in"/></method>
    <method name="HideOverview"><arg type="b" direction="out"/></method>
    <method name="Subscribers"><arg type="i" direction="out"/></method>
  </interface>
</node>`;

export default class PointerMover extends Extension {
    enable() {
        const seat = Clutter.get_default_backend().get_default_seat();
        this._pointer = seat.create_virtual_device(Clutter.InputDeviceType.POINTER_DEVICE);
        this._dbus = Gio.DBusExportedObject.wrapJSObject(MoverInterface, this);
        this._dbus.export(Gio.DBus.session, '/org/oglon/TestPointer');
    }

    disable() {
        this._dbus.unexport();
        this._pointer = null;
    }

    Move(x, y) {
        this._pointer.notify_absolute_motion(GLib.get_monotonic_time(), x, y);
    }

    // A press and a release of a button: 1 the left, 3 the right.
    Click(button) {
        for (const state of [Clutter.ButtonState.PRESSED, Clutter.ButtonState.RELEASED])
            this._pointer.notify_button(GLib.get_monotonic_time(), button, state);
    }

    // True once the overview the shell opens at start is gone. Asked to hide
    // while it is still opening, GNOME Shell 48 keeps it open for good.
    HideOverview() {
        if (Main.layoutManager._startingUp || Main.overview.animationInProgress)
            return false;
        Main.overview.hide();
        return !Main.overview.visible;
    }

    // How many processes Oglon's extension reports to, in either format.
    Subscribers() {
        let count = 0;
        for (const uuid of ['oglon-pointer@oglon.org', 'oglon-pointer-legacy@oglon.org']) {
            const extension = Main.extensionManager.lookup(uuid)?.stateObj;
            count += extension?._reporter?._subscribers.size ?? 0;
        }
        return count;
    }
}

// Oglon's pointer reporter, loaded into KWin by one running Oglon. It tells
// that Oglon where the pointer is and where its head window's frame lies, in
// KWin's logical coordinates: only changes, at most one report per 100 ms,
// nothing while the pointer rests. Oglon fills in the values below.
const service = @SERVICE@;
const path = @PATH@;
const headWindow = Number(@WINDOW@);
const headRole = @ROLE@;

let head = null;
let lastReport = "";
// At rest the script hears of every motion and of the head's moves. A change
// is reported at once; then, as long as the pointer or the head keeps
// changing, both are read every 100 ms and KWin's signals go unheard, however
// often the mouse reports. A reading that finds nothing new ends that.
const poll = new QTimer();
poll.interval = 100;
poll.singleShot = false;
let hearing = false;
let heardHead = null;

function windows() {
    // Plasma 6 says window where 5.27 says client.
    return workspace.windowList ? workspace.windowList() : workspace.clientList();
}

// The window role as text: KWin 6 gives a string, KWin 5 bytes.
function roleOf(window) {
    const role = window.windowRole;
    if (typeof role === "string")
        return role;
    return role ? String.fromCharCode.apply(null, new Uint8Array(role)) : "";
}

// KWin 5 tells a window's X11 id; KWin 6 does not, but both tell the window
// role, which Oglon set on its head to a name of this process's own.
function isHead(window) {
    if (window.windowId !== undefined && Number(window.windowId) === headWindow)
        return true;
    return headRole !== "" && roleOf(window) === headRole;
}

function findHead() {
    const all = windows();
    for (let i = 0; i < all.length; ++i) {
        if (isHead(all[i]))
            return all[i];
    }
    return null;
}

// Sends the pointer and the frame when either changed; true when it did.
function report() {
    if (!head)
        head = findHead();
    const pointer = workspace.cursorPos;
    const frame = head ? head.frameGeometry : { x: 0, y: 0, width: 0, height: 0 };
    const values = [pointer.x, pointer.y, frame.x, frame.y, frame.width, frame.height];
    const text = values.join(" ");
    if (text === lastReport)
        return false;
    lastReport = text;
    callDBus(service, path, "org.oglon.Pointer", "report", values[0], values[1], values[2],
        values[3], values[4], values[5]);
    return true;
}

// Hears KWin's signals (on) or leaves them unheard (off).
function hear(on) {
    if (on !== hearing) {
        if (on)
            workspace.cursorPosChanged.connect(changed);
        else
            workspace.cursorPosChanged.disconnect(changed);
        hearing = on;
    }
    const window = on ? head : null;
    if (window === heardHead)
        return;
    if (heardHead)
        heardHead.frameGeometryChanged.disconnect(changed);
    heardHead = window;
    if (heardHead)
        heardHead.frameGeometryChanged.connect(changed);
}

function changed() {
    if (poll.active || !report())
        return;
    hear(false);
    poll.start();
}

poll.timeout.connect(function () {
    if (report())
        return;
    poll.stop();
    hear(true);
});

function watch(window) {
    if (!isHead(window))
        return;
    head = window;
    hear(hearing);
    changed();
}

function forget(window) {
    if (window !== head)
        return;
    head = null;
    hear(hearing);
}

if (workspace.windowAdded) {
    workspace.windowAdded.connect(watch);
    workspace.windowRemoved.connect(forget);
} else {
    workspace.clientAdded.connect(watch);
    workspace.clientRemoved.connect(forget);
}
hear(true);
const known = findHead();
if (known)
    watch(known);
else
    changed();

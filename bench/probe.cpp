// Measures one run of one X11 program for bench/run.sh.
//
//   oglon-probe [options] -- PROGRAM [ARGS...]
//
// 1. Selects SubstructureNotify on the root window, starts PROGRAM and
//    timestamps (CLOCK_MONOTONIC) the first MapNotify of a top-level window
//    created after the start: the window manager's frame, or the program's
//    own window under a non-reparenting manager.
// 2. Lets it settle, then a still phase: the pointer does not move.
// 3. Two moving phases: the probe moves the pointer along a circle with XTEST
//    relative motion (what a mouse makes; warps are invisible to XInput2 raw
//    motion), first at --fast-rate steps a second (125: a standard USB
//    mouse), then at --rate (18).
// 4. A delay phase: from rest, one XTEST motion across the window (from one
//    side to the other, so the pupils must turn), --samples times, each after
//    --gap seconds still; the delay is from sending the motion to the first
//    drawing request of the program that follows it.
// 5. A warp phase: --warps times, after a rest of 3 s and a little more each
//    time (so that the warps fall at different moments of any periodic
//    check), the pointer is warped across the window (XWarpPointer: no
//    motion a device makes); the delay is from the warp to the program's
//    first drawing request after it.
// 6. Ends the program.
//
// Every request the program sends is counted through the server's RECORD
// extension (no proxy between the program and the server, so its timing is
// untouched), attributed to the program by its process id (X-Resource), per
// phase and per request, with the pixel area of PutImage, MIT-SHM PutImage
// and CopyArea. CPU time comes from /proc: utime+stime of /proc/PID/stat
// (clock ticks) and the per-thread run time of /proc/PID/task/*/schedstat
// (nanoseconds), for the program and for the X server; wake-ups are the
// number of times its threads were scheduled in (the second schedstat field).
//
// Output: key=value lines (--out) and "phase request count" lines (--requests).

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum Phase { Startup, Settle, Still, Fast, Moving, Delay, Warp, After, PhaseCount };
const char *const PhaseNames[PhaseCount]
    = { "startup", "settle", "still", "fast", "moving", "delay", "warp", "after" };

struct Options
{
    double settle = 2;
    double still = 30;
    double move = 30;
    double fast = 30;
    double rate = 18; // pointer moves per second
    double fastRate = 125;
    int samples = 20; // motions from rest in the delay phase
    double gap = 0.6; // seconds still before each of them
    int warps = 0; // warps after a long rest in the warp phase
    double radius = 200; // of the circle, in pixels
    double turn = 2; // seconds per turn
    long serverPid = 0;
    std::string out;
    std::string requests;
    std::vector<std::string> command;
};

double now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

[[noreturn]] void die(const std::string &message)
{
    std::fprintf(stderr, "oglon-probe: %s\n", message.c_str());
    std::exit(1);
}

// ---- /proc -----------------------------------------------------------------

struct Cpu
{
    double statMs = 0; // utime+stime, whole process, clock-tick resolution
    double schedMs = 0; // sum of the live threads' run time, nanosecond resolution
    double runs = 0; // times the live threads were scheduled in
    int threads = 0;
};

Cpu readCpu(long pid)
{
    Cpu cpu;
    if (pid <= 0)
        return cpu;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (std::getline(stat, line)) {
        // Fields after the command name, which is in parentheses.
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        std::vector<std::string> fields;
        std::string field;
        while (rest >> field)
            fields.push_back(field);
        // utime and stime are fields 14 and 15, i.e. 11 and 12 after the name.
        if (fields.size() > 12)
            cpu.statMs = (std::stod(fields[11]) + std::stod(fields[12])) * 1000.0
                / double(sysconf(_SC_CLK_TCK));
    }
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR *dir = opendir(tasks.c_str())) {
        while (dirent *entry = readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;
            std::ifstream sched(tasks + "/" + entry->d_name + "/schedstat");
            double ns = 0, waited = 0, runs = 0;
            if (sched >> ns >> waited >> runs) {
                cpu.schedMs += ns / 1e6;
                cpu.runs += runs;
                ++cpu.threads;
            }
        }
        closedir(dir);
    }
    return cpu;
}

std::map<std::string, long> readKeyedKb(const std::string &path)
{
    std::map<std::string, long> values;
    std::ifstream in(path);
    std::string key;
    long value;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        if (fields >> key >> value && !key.empty() && key.back() == ':') {
            key.pop_back();
            values[key] = value;
        }
    }
    return values;
}

// ---- request names -----------------------------------------------------------

const char *const CoreNames[128] = { nullptr, "CreateWindow", "ChangeWindowAttributes",
    "GetWindowAttributes", "DestroyWindow", "DestroySubwindows", "ChangeSaveSet", "ReparentWindow",
    "MapWindow", "MapSubwindows", "UnmapWindow", "UnmapSubwindows", "ConfigureWindow",
    "CirculateWindow", "GetGeometry", "QueryTree", "InternAtom", "GetAtomName", "ChangeProperty",
    "DeleteProperty", "GetProperty", "ListProperties", "SetSelectionOwner", "GetSelectionOwner",
    "ConvertSelection", "SendEvent", "GrabPointer", "UngrabPointer", "GrabButton", "UngrabButton",
    "ChangeActivePointerGrab", "GrabKeyboard", "UngrabKeyboard", "GrabKey", "UngrabKey",
    "AllowEvents", "GrabServer", "UngrabServer", "QueryPointer", "GetMotionEvents",
    "TranslateCoordinates", "WarpPointer", "SetInputFocus", "GetInputFocus", "QueryKeymap",
    "OpenFont", "CloseFont", "QueryFont", "QueryTextExtents", "ListFonts", "ListFontsWithInfo",
    "SetFontPath", "GetFontPath", "CreatePixmap", "FreePixmap", "CreateGC", "ChangeGC", "CopyGC",
    "SetDashes", "SetClipRectangles", "FreeGC", "ClearArea", "CopyArea", "CopyPlane", "PolyPoint",
    "PolyLine", "PolySegment", "PolyRectangle", "PolyArc", "FillPoly", "PolyFillRectangle",
    "PolyFillArc", "PutImage", "GetImage", "PolyText8", "PolyText16", "ImageText8", "ImageText16",
    "CreateColormap", "FreeColormap", "CopyColormap", "InstallColormap", "UninstallColormap",
    "ListInstalledColormaps", "AllocColor", "AllocNamedColor", "AllocColorCells",
    "AllocColorPlanes", "FreeColors", "StoreColors", "StoreNamedColor", "QueryColors",
    "LookupColor", "CreateCursor", "CreateGlyphCursor", "FreeCursor", "RecolorCursor",
    "QueryBestSize", "QueryExtension", "ListExtensions", "ChangeKeyboardMapping",
    "GetKeyboardMapping", "ChangeKeyboardControl", "GetKeyboardControl", "Bell",
    "ChangePointerControl", "GetPointerControl", "SetScreenSaver", "GetScreenSaver", "ChangeHosts",
    "ListHosts", "SetAccessControl", "SetCloseDownMode", "KillClient", "RotateProperties",
    "ForceScreenSaver", "SetPointerMapping", "GetPointerMapping", "SetModifierMapping",
    "GetModifierMapping", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "NoOperation" };

std::map<int, std::string> extensionNames; // major opcode -> name

std::string minorName(const std::string &ext, int minor)
{
    static const std::map<std::string, std::map<int, const char *>> known = {
        { "MIT-SHM",
            { { 0, "QueryVersion" }, { 1, "Attach" }, { 2, "Detach" }, { 3, "PutImage" },
                { 4, "GetImage" }, { 5, "CreatePixmap" }, { 6, "AttachFd" },
                { 7, "CreateSegment" } } },
        { "SHAPE",
            { { 0, "QueryVersion" }, { 1, "Rectangles" }, { 2, "Mask" }, { 3, "Combine" },
                { 4, "Offset" }, { 5, "QueryExtents" }, { 6, "SelectInput" },
                { 7, "InputSelected" }, { 8, "GetRectangles" } } },
        { "XInputExtension",
            { { 1, "GetExtensionVersion" }, { 2, "ListInputDevices" }, { 40, "XIQueryPointer" },
                { 41, "XIWarpPointer" }, { 42, "XIChangeCursor" }, { 46, "XISelectEvents" },
                { 47, "XIQueryVersion" }, { 48, "XIQueryDevice" }, { 49, "XISetFocus" },
                { 50, "XIGetFocus" }, { 60, "XIGetSelectedEvents" } } },
        { "BIG-REQUESTS", { { 0, "Enable" } } },
        { "XFIXES", { { 0, "QueryVersion" }, { 2, "SelectSelectionInput" } } },
        { "RENDER",
            { { 0, "QueryVersion" }, { 1, "QueryPictFormats" }, { 4, "CreatePicture" },
                { 7, "FreePicture" }, { 8, "Composite" }, { 26, "FillRectangles" },
                { 27, "CreateCursor" } } },
        { "XKEYBOARD",
            { { 0, "UseExtension" }, { 1, "SelectEvents" }, { 8, "GetMap" }, { 4, "GetState" },
                { 6, "GetControls" }, { 17, "GetNames" }, { 10, "GetCompatMap" },
                { 14, "GetIndicatorMap" }, { 24, "GetDeviceInfo" }, { 21, "PerClientFlags" } } },
    };
    const auto e = known.find(ext);
    if (e != known.end()) {
        const auto m = e->second.find(minor);
        if (m != e->second.end())
            return m->second;
    }
    return std::to_string(minor);
}

std::string requestName(int major, int minor)
{
    if (major < 128)
        return CoreNames[major] ? CoreNames[major] : "core-" + std::to_string(major);
    const auto e = extensionNames.find(major);
    const std::string ext = e != extensionNames.end() ? e->second : "ext-" + std::to_string(major);
    return ext + ":" + minorName(ext, minor);
}

// ---- what RECORD reports ------------------------------------------------------

struct Tally
{
    std::map<std::pair<int, int>, long> requests; // (major, minor) -> count
    long total = 0;
    long events = 0; // events delivered to the program
    double putArea = 0; // pixels sent by PutImage and MIT-SHM PutImage
    double copyArea = 0; // pixels copied by CopyArea
};

// A request that draws, with the server's time (ms) when it came in.
struct Drawn
{
    XID client;
    double at;
};

struct Recorder
{
    Phase phase = Startup;
    int shmMajor = -1;
    std::set<int> drawingExtensions; // RENDER, Present: every request draws
    std::vector<Drawn> drawn;
    // The probe's own XTEST motion, by the server's time: RECORD reports a
    // request when the server runs it, which is unaffected by when the
    // server gets round to sending the record (it waits for output to flush).
    int xtestMajor = -1;
    std::set<XID> probeClients;
    std::vector<double> motions[PhaseCount];
    std::map<XID, Tally[PhaseCount]> clients; // by the client's resource base
};

Recorder recorder;

unsigned readCard16(const unsigned char *p, bool swapped)
{
    return swapped ? unsigned(p[0]) << 8 | p[1] : unsigned(p[1]) << 8 | p[0];
}

void onRecord(XPointer, XRecordInterceptData *data)
{
    if (data->category == XRecordFromClient && data->data && data->data_len > 0) {
        const unsigned char *req = data->data;
        const size_t bytes = size_t(data->data_len) * 4;
        Tally &t = recorder.clients[data->id_base][recorder.phase];
        const int major = req[0];
        const int minor = major >= 128 ? req[1] : 0;
        ++t.requests[{ major, minor }];
        ++t.total;
        // A zero length means BIG-REQUESTS: four more bytes of length follow.
        const size_t shift = readCard16(req + 2, data->client_swapped) == 0 ? 4 : 0;
        auto field = [&](size_t offset) {
            return offset + shift + 2 <= bytes
                ? readCard16(req + offset + shift, data->client_swapped)
                : 0u;
        };
        double put = 0, copy = 0;
        if (major == X_PutImage)
            put = double(field(12)) * field(14);
        else if (major == X_CopyArea)
            copy = double(field(24)) * field(26);
        else if (major == recorder.shmMajor && minor == 3) // ShmPutImage: src_width, src_height
            put = double(field(20)) * field(22);
        t.putArea += put;
        t.copyArea += copy;
        const bool draws = major == X_PutImage || major == X_CopyArea
            || major == X_PolyFillRectangle || major == X_PolyFillArc || major == X_FillPoly
            || (major == recorder.shmMajor && minor == 3)
            || recorder.drawingExtensions.count(major);
        const double at = double(data->server_time);
        if (draws && (recorder.phase == Fast || recorder.phase == Delay || recorder.phase == Warp))
            recorder.drawn.push_back({ data->id_base, at });
        if ((major == recorder.xtestMajor || major == X_WarpPointer)
            && recorder.probeClients.count(data->id_base))
            recorder.motions[recorder.phase].push_back(at);
    } else if (data->category == XRecordFromServer && data->data && data->data_len > 0) {
        if (data->data[0] > 1) // neither an error nor a reply
            ++recorder.clients[data->id_base][recorder.phase].events;
    }
    XRecordFreeData(data);
}

// ---- the program ---------------------------------------------------------------

Display *control = nullptr;
Display *recordData = nullptr;
XRecordContext context = 0;
pid_t program = 0;
int programStatus = 0;
bool programEnded = false;
rusage programUsage {};

void drainRecord()
{
    if (recordData)
        XRecordProcessReplies(recordData);
}

bool reapProgram(bool block)
{
    if (programEnded)
        return true;
    const pid_t got = wait4(program, &programStatus, block ? 0 : WNOHANG, &programUsage);
    if (got == program)
        programEnded = true;
    return programEnded;
}

// Serves both connections for the given time; returns early when stop() says so.
void pumpUntil(double deadline, bool (*stop)(XEvent &, void *), void *closure)
{
    for (;;) {
        while (XPending(control)) {
            XEvent event;
            XNextEvent(control, &event);
            if (stop && stop(event, closure))
                return;
        }
        drainRecord();
        const double left = deadline - now();
        if (left <= 0)
            return;
        pollfd fds[2] = { { ConnectionNumber(control), POLLIN, 0 },
            { recordData ? ConnectionNumber(recordData) : -1, POLLIN, 0 } };
        poll(fds, 2, int(std::min(left, 0.02) * 1000) + 1);
    }
}

struct MapWatch
{
    std::set<Window> created;
    Window mapped = 0;
};

bool watchMap(XEvent &event, void *closure)
{
    auto *watch = static_cast<MapWatch *>(closure);
    if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow(control)
        && !event.xcreatewindow.override_redirect)
        watch->created.insert(event.xcreatewindow.window);
    if (event.type == ReparentNotify && event.xreparent.parent == DefaultRootWindow(control))
        watch->created.insert(event.xreparent.window);
    if (getenv("PROBE_DEBUG"))
        std::fprintf(stderr, "%.4f event %d window 0x%lx\n", now(), event.type, event.xany.window);
    if (event.type == MapNotify && event.xmap.event == DefaultRootWindow(control)
        && !event.xmap.override_redirect && watch->created.count(event.xmap.window)) {
        watch->mapped = event.xmap.window;
        return true;
    }
    return false;
}

// The program's connections to the server (a program may open more than one).
std::set<XID> clientsOfPid(pid_t pid)
{
    XResClientIdSpec everyClient = { None, XRES_CLIENT_ID_PID_MASK };
    long count = 0;
    XResClientIdValue *values = nullptr;
    std::set<XID> clients;
    if (XResQueryClientIds(control, 1, &everyClient, &count, &values) != Success)
        return clients;
    for (long i = 0; i < count; ++i) {
        const auto &[id, length, value] = values[i];
        if (XResGetClientPid(&values[i]) == pid)
            clients.insert(id.client);
    }
    XResClientIdsDestroy(count, values);
    return clients;
}

pid_t spawn(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        die("fork failed");
    if (pid == 0) {
        execvp(args[0], args.data());
        std::fprintf(stderr, "oglon-probe: cannot run %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
    return pid;
}

// Moves the pointer along a circle around (cx, cy) with XTEST relative
// motion, `rate` steps a second for `seconds`; the send times of the steps.
std::vector<double> moveAround(const Options &o, double rate, double seconds, int cx, int cy)
{
    std::vector<double> sent;
    const int steps = int(std::lround(seconds * rate));
    const double perTurn = o.turn * rate;
    long x = std::lround(cx + o.radius), y = cy;
    const double start = now();
    for (int i = 1; i <= steps; ++i) {
        pumpUntil(start + i / rate, nullptr, nullptr);
        const double a = 2 * M_PI * i / perTurn;
        const long nx = std::lround(cx + o.radius * std::cos(a));
        const long ny = std::lround(cy + o.radius * std::sin(a));
        XTestFakeRelativeMotionEvent(control, int(nx - x), int(ny - y), CurrentTime);
        XFlush(control);
        sent.push_back(now());
        x = nx;
        y = ny;
    }
    return sent;
}

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    const double at = q * double(v.size() - 1);
    const size_t lo = size_t(std::floor(at)), hi = size_t(std::ceil(at));
    return v[lo] + (v[hi] - v[lo]) * (at - double(lo));
}

// For each time in `from`, the delay to the first drawing request of one of
// `clients` after it (none within `limit` ms: not counted); server times, ms.
std::vector<double> delaysToDrawing(
    const std::vector<double> &from, const std::set<XID> &clients, double limit = 1000)
{
    std::vector<double> draws;
    for (const Drawn &d : recorder.drawn)
        if (clients.count(d.client))
            draws.push_back(d.at);
    std::sort(draws.begin(), draws.end());
    std::vector<double> delays;
    for (const double t : from) {
        const auto next = std::lower_bound(draws.begin(), draws.end(), t);
        if (next != draws.end() && *next - t < limit)
            delays.push_back(*next - t);
    }
    return delays;
}

Options parse(int argc, char **argv)
{
    Options o;
    int i = 1;
    auto value = [&](const char *name) {
        if (i + 1 >= argc)
            die(std::string("missing value for ") + name);
        return std::string(argv[++i]);
    };
    auto number = [&](const char *name) {
        const std::string text = value(name);
        char *end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (text.empty() || *end)
            die(std::string("not a number for ") + name + ": " + text);
        return v;
    };
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        } else if (a == "--settle")
            o.settle = number("--settle");
        else if (a == "--still")
            o.still = number("--still");
        else if (a == "--move")
            o.move = number("--move");
        else if (a == "--rate")
            o.rate = number("--rate");
        else if (a == "--fast")
            o.fast = number("--fast");
        else if (a == "--fast-rate")
            o.fastRate = number("--fast-rate");
        else if (a == "--samples")
            o.samples = int(number("--samples"));
        else if (a == "--warps")
            o.warps = int(number("--warps"));
        else if (a == "--gap")
            o.gap = number("--gap");
        else if (a == "--radius")
            o.radius = number("--radius");
        else if (a == "--turn")
            o.turn = number("--turn");
        else if (a == "--server-pid")
            o.serverPid = long(number("--server-pid"));
        else if (a == "--out")
            o.out = value("--out");
        else if (a == "--requests")
            o.requests = value("--requests");
        else
            die("unknown option " + a);
    }
    for (; i < argc; ++i)
        o.command.push_back(argv[i]);
    if (o.command.empty())
        die("usage: oglon-probe [--settle S] [--still S] [--fast S] [--fast-rate N] [--move S] "
            "[--rate N] [--samples N] [--warps N] [--gap S] [--radius PX] [--turn S] "
            "[--server-pid PID] [--out FILE] [--requests FILE] -- PROGRAM [ARGS...]");
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    const Options o = parse(argc, argv);
    control = XOpenDisplay(nullptr);
    recordData = XOpenDisplay(nullptr);
    if (!control || !recordData)
        die("cannot open the display");
    const Window root = DefaultRootWindow(control);
    const int width = DisplayWidth(control, DefaultScreen(control));
    const int height = DisplayHeight(control, DefaultScreen(control));
    const int cx = width / 2, cy = height / 2;

    int count = 0;
    char **names = XListExtensions(control, &count);
    for (int i = 0; i < count; ++i) {
        int major, event, error;
        if (XQueryExtension(control, names[i], &major, &event, &error))
            extensionNames[major] = names[i];
        // One word per name in the output ("Generic Event Extension").
        for (char &ch : extensionNames[major])
            if (ch == ' ')
                ch = '-';
        if (!std::strcmp(names[i], "MIT-SHM"))
            recorder.shmMajor = major;
        if (!std::strcmp(names[i], "XTEST"))
            recorder.xtestMajor = major;
        if (!std::strcmp(names[i], "RENDER") || !std::strcmp(names[i], "Present"))
            recorder.drawingExtensions.insert(major);
    }
    XFreeExtensionList(names);

    // Every request and every delivered event of clients that connect from
    // now on; the program's client is picked out by its process id.
    XRecordRange *range = XRecordAllocRange();
    range->core_requests = { 1, 127 };
    range->ext_requests.ext_major = { 128, 255 };
    range->ext_requests.ext_minor = { 0, 65535 };
    range->delivered_events = { 2, 255 };
    // And the probe's own motion requests, named by a resource of its own.
    const Pixmap mine = XCreatePixmap(control, root, 1, 1, DefaultDepth(control, 0));
    XRecordClientSpec specs[] = { XRecordFutureClients, mine };
    context = XRecordCreateContext(control, XRecordFromClientTime, specs, 2, &range, 1);
    XFree(range);
    if (!context)
        die("the X server has no RECORD extension");
    XSync(control, False);
    if (!XRecordEnableContextAsync(recordData, context, onRecord, nullptr))
        die("cannot enable the RECORD context");
    recorder.probeClients = clientsOfPid(getpid());

    // The pointer rests where the circle starts, away from both windows.
    XWarpPointer(control, None, root, 0, 0, 0, 0, int(cx + o.radius), cy);
    XSelectInput(control, root, SubstructureNotifyMask);
    XSync(control, False);
    pumpUntil(now() + 0.2, nullptr, nullptr);

    MapWatch watch;
    const double started = now();
    recorder.phase = Startup;
    program = spawn(o.command);
    for (;;) {
        pumpUntil(now() + 0.05, watchMap, &watch);
        if (watch.mapped || reapProgram(false) || now() - started > 30)
            break;
    }
    const double mapped = now();
    if (!watch.mapped)
        die("the program mapped no window");
    const Cpu atMap = readCpu(program);
    recorder.phase = Settle;
    std::set<XID> clients = clientsOfPid(program);

    pumpUntil(now() + o.settle, nullptr, nullptr);

    std::ofstream file;
    if (!o.out.empty())
        file.open(o.out);
    std::ostream &out = o.out.empty() ? std::cout : file;
    out << "startup_ms=" << (mapped - started) * 1000 << "\n";

    // Still phase.
    recorder.phase = Still;
    Cpu c0 = readCpu(program), s0 = readCpu(o.serverPid);
    const double still0 = now();
    pumpUntil(still0 + o.still, nullptr, nullptr);
    XSync(control, False);
    drainRecord();
    Cpu c1 = readCpu(program), s1 = readCpu(o.serverPid);
    const double still1 = now();
    const auto status = readKeyedKb("/proc/" + std::to_string(program) + "/status");
    const auto rollup = readKeyedKb("/proc/" + std::to_string(program) + "/smaps_rollup");
    auto get = [](const std::map<std::string, long> &m, const char *k) {
        const auto i = m.find(k);
        return i == m.end() ? 0L : i->second;
    };

    // The moving phases: fast, then slow.
    recorder.phase = Fast;
    const double fast0 = now();
    const std::vector<double> fastSent = moveAround(o, o.fastRate, o.fast, cx, cy);
    XSync(control, False);
    pumpUntil(now() + 0.2, nullptr, nullptr);
    const Cpu c2 = readCpu(program), s2 = readCpu(o.serverPid);
    const double fast1 = now();
    recorder.phase = Moving;
    const double move0 = now();
    moveAround(o, o.rate, o.move, cx, cy);
    XSync(control, False);
    pumpUntil(now() + 0.2, nullptr, nullptr);
    const Cpu c3 = readCpu(program), s3 = readCpu(o.serverPid);
    const double move1 = now();

    // The delay phase: from one side of the window to the other, from rest.
    recorder.phase = Settle;
    {
        Window child, frameRoot;
        int fx = 0, fy = 0, px = 0, py = 0, wx, wy;
        unsigned fw = 0, fh = 0, border, depth, mask;
        XGetGeometry(control, watch.mapped, &frameRoot, &fx, &fy, &fw, &fh, &border, &depth);
        XQueryPointer(control, root, &frameRoot, &child, &px, &py, &wx, &wy, &mask);
        const int y = std::clamp(fy + int(fh) / 2, 0, height - 1);
        const int left = std::clamp(fx - 100, 0, width - 1);
        const int right = std::clamp(fx + int(fw) + 100, 0, width - 1);
        XTestFakeRelativeMotionEvent(control, left - px, y - py, CurrentTime);
        XFlush(control);
        pumpUntil(now() + 1, nullptr, nullptr);
        recorder.phase = Delay;
        for (int i = 0; i < o.samples; ++i) {
            pumpUntil(now() + o.gap, nullptr, nullptr);
            XTestFakeRelativeMotionEvent(
                control, i % 2 ? left - right : right - left, 0, CurrentTime);
            XFlush(control);
        }
        pumpUntil(now() + o.gap, nullptr, nullptr);
        // Warps (a program setting the pointer's place: no motion event)
        // after a long rest, at different moments of any check cycle: the
        // pointer jumps from one side of the window to the other.
        recorder.phase = Warp;
        for (int i = 0; i < o.warps; ++i) {
            pumpUntil(now() + 3 + 0.37 * i, nullptr, nullptr);
            XWarpPointer(control, None, root, 0, 0, 0, 0, i % 2 ? left : right, y);
            XFlush(control);
        }
        pumpUntil(now() + 3, nullptr, nullptr);
    }
    XSync(control, False);
    drainRecord();
    recorder.phase = After;
    for (const XID c : clientsOfPid(program))
        clients.insert(c);

    kill(program, SIGTERM);
    for (int i = 0; i < 60 && !reapProgram(false); ++i)
        pumpUntil(now() + 0.05, nullptr, nullptr);
    if (!reapProgram(false)) {
        kill(program, SIGKILL);
        reapProgram(true);
    }
    XRecordDisableContext(control, context);
    XSync(control, False);
    drainRecord();
    XRecordFreeContext(control, context);

    const double stillS = still1 - still0, fastS = fast1 - fast0, moveS = move1 - move0;
    out << "still_s=" << stillS << "\nfast_s=" << fastS << "\nmove_s=" << moveS << "\n";
    out << "rss_kb=" << get(status, "VmRSS") << "\nhwm_kb=" << get(status, "VmHWM") << "\n";
    out << "rss_anon_kb=" << get(status, "RssAnon") << "\nrss_file_kb=" << get(status, "RssFile")
        << "\nrss_shmem_kb=" << get(status, "RssShmem") << "\n";
    // Pss depends on what else runs (shared libraries); USS is the pages
    // only this process holds.
    out << "pss_kb=" << get(rollup, "Pss") << "\n";
    out << "uss_kb=" << get(rollup, "Private_Clean") + get(rollup, "Private_Dirty") << "\n";
    out << "threads=" << c1.threads << "\n";
    // CPU per 30 s of each phase.
    out << "still_cpu_ms=" << (c1.schedMs - c0.schedMs) * 30 / stillS << "\n";
    out << "still_cpu_stat_ms=" << (c1.statMs - c0.statMs) * 30 / stillS << "\n";
    out << "still_wakeups_per_s=" << (c1.runs - c0.runs) / stillS << "\n";
    out << "fast_cpu_ms=" << (c2.schedMs - c1.schedMs) * 30 / fastS << "\n";
    out << "fast_cpu_stat_ms=" << (c2.statMs - c1.statMs) * 30 / fastS << "\n";
    out << "move_cpu_ms=" << (c3.schedMs - c2.schedMs) * 30 / moveS << "\n";
    out << "move_cpu_stat_ms=" << (c3.statMs - c2.statMs) * 30 / moveS << "\n";
    out << "fast_steps_per_s=" << double(fastSent.size()) / fastS << "\n";
    out << "startup_cpu_ms=" << atMap.schedMs << "\n";
    out << "settle_cpu_ms=" << c0.schedMs - atMap.schedMs << "\n";
    // Phase boundaries on CLOCK_MONOTONIC, to line up with other tools' logs.
    out << std::fixed << std::setprecision(6) << "t_start=" << started << "\nt_map=" << mapped
        << "\nt_still=" << still0 << "\nt_still_end=" << still1 << "\nt_fast=" << fast0
        << "\nt_move=" << move0 << "\nt_move_end=" << move1 << "\n"
        << std::defaultfloat << std::setprecision(6);
    if (o.serverPid > 0) {
        out << "server_still_cpu_ms=" << (s1.schedMs - s0.schedMs) * 30 / stillS << "\n";
        out << "server_fast_cpu_ms=" << (s2.schedMs - s1.schedMs) * 30 / fastS << "\n";
        out << "server_move_cpu_ms=" << (s3.schedMs - s2.schedMs) * 30 / moveS << "\n";
    }
    out << "total_cpu_ms="
        << (programUsage.ru_utime.tv_sec + programUsage.ru_stime.tv_sec) * 1000.0
            + (programUsage.ru_utime.tv_usec + programUsage.ru_stime.tv_usec) / 1000.0
        << "\n";
    const std::vector<double> fromRest = delaysToDrawing(recorder.motions[Delay], clients);
    const std::vector<double> moving = delaysToDrawing(recorder.motions[Fast], clients);
    out << "delay_samples=" << fromRest.size() << "\n";
    if (!fromRest.empty())
        out << "delay_median_ms=" << quantile(fromRest, 0.5)
            << "\ndelay_p95_ms=" << quantile(fromRest, 0.95) << "\n";
    if (!moving.empty())
        out << "fast_delay_median_ms=" << quantile(moving, 0.5)
            << "\nfast_delay_p95_ms=" << quantile(moving, 0.95) << "\n";
    const std::vector<double> warped = delaysToDrawing(recorder.motions[Warp], clients, 5000);
    out << "warp_samples=" << warped.size() << "\n";
    if (!warped.empty())
        out << "warp_median_ms=" << quantile(warped, 0.5) << "\nwarp_max_ms=" << quantile(warped, 1)
            << "\n";

    Tally t[PhaseCount];
    for (const XID c : clients) {
        const auto found = recorder.clients.find(c);
        if (found == recorder.clients.end())
            continue;
        for (int p = 0; p < PhaseCount; ++p) {
            const Tally &from = found->second[p];
            for (const auto &[op, k] : from.requests)
                t[p].requests[op] += k;
            t[p].total += from.total;
            t[p].events += from.events;
            t[p].putArea += from.putArea;
            t[p].copyArea += from.copyArea;
        }
    }
    out << "connections=" << clients.size() << "\n";
    if (clients.empty()) {
        out << "recorded=0\n";
        return 0;
    }
    const int tqp = X_QueryPointer;
    auto n = [&](Phase p, int major) {
        const auto i = t[p].requests.find({ major, 0 });
        return i == t[p].requests.end() ? 0L : i->second;
    };
    out << "recorded=1\n";
    out << "startup_requests=" << t[Startup].total << "\n";
    // Requests and delivered events per 30 s of each phase.
    out << "still_requests=" << t[Still].total * 30 / stillS << "\n";
    out << "still_query_pointer=" << n(Still, tqp) * 30 / stillS << "\n";
    out << "still_events=" << t[Still].events * 30 / stillS << "\n";
    out << "fast_requests=" << t[Fast].total * 30 / fastS << "\n";
    out << "fast_query_pointer=" << n(Fast, tqp) * 30 / fastS << "\n";
    out << "fast_events=" << t[Fast].events * 30 / fastS << "\n";
    out << "fast_put_px=" << t[Fast].putArea * 30 / fastS << "\n";
    out << "move_requests=" << t[Moving].total * 30 / moveS << "\n";
    out << "move_query_pointer=" << n(Moving, tqp) * 30 / moveS << "\n";
    out << "move_events=" << t[Moving].events * 30 / moveS << "\n";
    if (!o.requests.empty()) {
        std::ofstream req(o.requests);
        for (int p = 0; p < PhaseCount; ++p)
            for (const auto &[op, k] : t[p].requests)
                req << PhaseNames[p] << " " << requestName(op.first, op.second) << " " << k << "\n";
    }
    return 0;
}

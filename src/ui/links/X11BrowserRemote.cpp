#include "ui/links/X11BrowserRemote.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace quill {

namespace {

// The browser's window may vanish while we talk to it; the errors that
// follow are expected and must not end the program.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

std::optional<std::string> readProperty(Display* display, Window window, Atom atom, bool remove) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int rc = XGetWindowProperty(display, window, atom, 0, 65536, remove ? True : False,
                                AnyPropertyType, &type, &format, &count, &after, &data);
    std::unique_ptr<unsigned char, int (*)(void*)> owned(data, XFree);
    if (rc != Success || type == None || !data) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), count * (format / 8));
}

void writeProperty(Display* display, Window window, Atom atom, const std::string& value) {
    XChangeProperty(display, window, atom, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(value.data()),
                    static_cast<int>(value.size()));
}

std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0, parent = 0, *kids = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &kids, &count)) return {};
    std::vector<Window> children(kids, kids + count);
    if (kids) XFree(kids);
    return children;
}

// The window below a top-level frame that carries the property, if any.
Window clientWithProperty(Display* display, Window window, Atom atom, int depth) {
    if (readProperty(display, window, atom, false)) return window;
    if (depth == 0) return None;
    for (Window child : childrenOf(display, window))
        if (Window found = clientWithProperty(display, child, atom, depth - 1)) return found;
    return None;
}

struct Atoms {
    Atom version, lock, command, response, vroot;
};

std::string lockText() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return "pid" + std::to_string(getpid()) + "@" + host;
}

// Waits for a property change or the end of window; false on timeout.
bool nextWindowEvent(Display* display, Window window, XEvent& event, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (XPending(display)) {
            XNextEvent(display, &event);
            if (event.xany.window == window) return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

Window findBrowserWindow(Display* display, const Atoms& atoms) {
    Window root = DefaultRootWindow(display);
    std::vector<Window> topLevel = childrenOf(display, root);
    // A virtual-root window manager puts the real top-level windows below its own.
    for (Window child : topLevel) {
        std::optional<std::string> vroot = readProperty(display, child, atoms.vroot, false);
        if (vroot && vroot->size() >= sizeof(Window)) {
            topLevel = childrenOf(display, *reinterpret_cast<const Window*>(vroot->data()));
            break;
        }
    }
    for (Window child : topLevel)
        if (Window client = clientWithProperty(display, child, atoms.version, 2)) return client;
    return None;
}

bool lock(Display* display, Window window, const Atoms& atoms, const std::string& lockText,
          int timeoutMs) {
    for (;;) {
        XGrabServer(display);
        bool held = readProperty(display, window, atoms.lock, false).has_value();
        if (!held) writeProperty(display, window, atoms.lock, lockText);
        XUngrabServer(display);
        XFlush(display);
        if (!held) return true;
        // Someone else talks to the browser: wait until they let go.
        XEvent event;
        for (;;) {
            if (!nextWindowEvent(display, window, event, timeoutMs)) return false;
            if (event.type == DestroyNotify) return false;
            if (event.type == PropertyNotify && event.xproperty.atom == atoms.lock &&
                event.xproperty.state == PropertyDelete)
                break;
        }
    }
}

void unlock(Display* display, Window window, const Atoms& atoms, const std::string& lockText) {
    if (readProperty(display, window, atoms.lock, false) == lockText)
        XDeleteProperty(display, window, atoms.lock);
}

int exchange(Display* display, Window window, const Atoms& atoms, const std::string& command,
             int timeoutMs) {
    writeProperty(display, window, atoms.command, command);
    XFlush(display);
    XEvent event;
    while (nextWindowEvent(display, window, event, timeoutMs)) {
        if (event.type == DestroyNotify) return 6;
        if (event.type != PropertyNotify || event.xproperty.atom != atoms.response ||
            event.xproperty.state != PropertyNewValue)
            continue;
        std::optional<std::string> response = readProperty(display, window, atoms.response, true);
        if (!response || response->empty()) return 6;
        char digit = (*response)[0];
        if (digit == '1') continue;
        if (digit == '2') return 2;
        if (digit >= '3' && digit <= '5') return digit - '0';
        return 6;
    }
    return 6;
}

}  // namespace

bool X11BrowserRemote::openURL(const std::string& url) {
    return sendCommand("openURL(" + url + ")") == 2;
}

int X11BrowserRemote::sendCommand(const std::string& command) {
    Display* display = XOpenDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str());
    if (!display) return 0;
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    Atoms atoms{XInternAtom(display, "_MOZILLA_VERSION", False),
                XInternAtom(display, "_MOZILLA_LOCK", False),
                XInternAtom(display, "_MOZILLA_COMMAND", False),
                XInternAtom(display, "_MOZILLA_RESPONSE", False),
                XInternAtom(display, "__SWM_VROOT", False)};
    int result = 0;
    if (Window window = findBrowserWindow(display, atoms)) {
        XSelectInput(display, window, PropertyChangeMask | StructureNotifyMask);
        std::string mine = lockText();
        result = 6;
        if (lock(display, window, atoms, mine, m_timeoutMs)) {
            result = exchange(display, window, atoms, command, m_timeoutMs);
            unlock(display, window, atoms, mine);
        }
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return result;
}

}  // namespace quill

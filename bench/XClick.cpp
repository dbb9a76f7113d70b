#include "XClick.h"

// Xlib's macros (Status, Bool) clash with Qt's headers: it stays here.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

void XClick::at(QPoint where, QElapsedTimer* clock) {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XTestFakeMotionEvent(display, -1, where.x(), where.y(), 0);
    XSync(display, False);
    XTestFakeButtonEvent(display, 1, True, 0);
    XFlush(display);
    if (clock)
        clock->start();
    XTestFakeButtonEvent(display, 1, False, 0);
    XCloseDisplay(display);
}

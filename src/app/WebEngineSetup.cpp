#include "WebEngineSetup.h"

#include <QCoreApplication>
#include <QDir>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace WebEngineSetup {

bool hasGpu() {
#ifdef Q_OS_LINUX
    // A render node is what a GPU driver offers; without one Mesa draws in
    // software.
    return !QDir(QStringLiteral("/dev/dri"))
                .entryList({QStringLiteral("renderD*")}, QDir::System)
                .isEmpty();
#else
    return true;
#endif
}

void apply() {
    if (hasGpu()) {
        // The engine shares its GL context with the widgets.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    } else {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        // The engine would still have a GL context made for sharing at
        // start, loading the software rasteriser for nothing (a third of
        // the time the window takes to appear).
        if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
            qputenv("QT_XCB_GL_INTEGRATION", "none");
    }

    // Fewer engine processes: the two pages share one renderer, audio plays
    // from the browser process, and a page left behind is not kept alive
    // (the information strip changes page with every category).
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --renderer-process-limit=1"
             " --disable-features=AudioServiceOutOfProcess,BackForwardCache";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());

#ifdef Q_OS_LINUX
    // The engine's processes make their large buffers (compiling the
    // engine's WebAssembly above all) with malloc, and glibc's moving
    // threshold keeps such memory in its heaps once freed: a third of the
    // renderer's memory. Blocks of 4 MiB and more go back to the system
    // when freed; a frame's buffers are smaller and stay reused. Only the
    // processes started from here read it.
    QByteArray tunables = qgetenv("GLIBC_TUNABLES");
    if (!tunables.contains("glibc.malloc.mmap_threshold")) {
        if (!tunables.isEmpty())
            tunables += ':';
        tunables += "glibc.malloc.mmap_threshold=4194304";
        qputenv("GLIBC_TUNABLES", tunables);
    }
#endif
}

} // namespace WebEngineSetup

#include "swf/HostMovie.h"

#include "swf/SwfWriter.h"

#include <QStringList>

namespace HostMovie {

namespace {

const Swf::Rgb kWhite{255, 255, 255};
// The engine's usual stage, 550 x 400 pixels.
const Swf::Rect kUsualStage{0, 550 * 20, 0, 400 * 20};
// Read by name at every call: at registration the root is still the host.
const QString kRoot = QStringLiteral("_level0");

void pushRoot(Swf::ActionWriter& a) {
    a.pushString(kRoot).getVariable();
}

// _level0.<method>(args...) with the arguments already on the stack.
void callOnRoot(Swf::ActionWriter& a, const QString& method, int argCount) {
    a.pushInt(argCount);
    pushRoot(a);
    a.pushString(method).callMethod();
}

// flash.external.ExternalInterface.addCallback(name, null, function(params) { body })
void addCallback(Swf::ActionWriter& a, const QString& name, const QStringList& params,
                 const Swf::ActionWriter& body) {
    a.defineFunction(QString(), params, body.body()).pushNull().pushString(name).pushInt(3);
    a.pushString(QStringLiteral("flash")).getVariable();
    a.pushString(QStringLiteral("external")).getMember();
    a.pushString(QStringLiteral("ExternalInterface")).getMember();
    a.pushString(QStringLiteral("addCallback")).callMethod().pop();
}

// return _level0.<property>, or typeof it.
Swf::ActionWriter readBody(const QString& property, bool kind = false) {
    Swf::ActionWriter b;
    pushRoot(b);
    b.pushString(property).getMember();
    if (kind)
        b.typeOf();
    b.returnValue();
    return b;
}

Swf::ActionWriter gotoBody(const QString& method) {
    Swf::ActionWriter b;
    b.pushString(QStringLiteral("frame")).getVariable();
    callOnRoot(b, method, 1);
    b.pop();
    return b;
}

Swf::ActionWriter timelineBody(const QString& method) {
    Swf::ActionWriter b;
    callOnRoot(b, method, 0);
    b.pop();
    return b;
}

// The engine copies the old root's readable properties, prototype chain
// included, onto the movie that replaces it; with the host's SWF 8
// prototype in place an older program would find SWF 8 methods on its
// root. ASSetPropFlags(this, "__proto__", 0, 2) makes it deletable.
void dropOwnPrototype(Swf::ActionWriter& a) {
    const QString proto = QStringLiteral("__proto__");
    a.pushInt(2).pushInt(0).pushString(proto);
    a.pushString(QStringLiteral("this")).getVariable();
    a.pushInt(4).pushString(QStringLiteral("ASSetPropFlags")).callFunction().pop();
    a.pushString(QStringLiteral("this")).getVariable().pushString(proto).deleteMember().pop();
}

Swf::Rect stageOf(const Swf::Info& program) {
    // An unreadable stage would make an invisible host; fall back to the
    // engine's usual default stage.
    if (program.stage.width() > 0 && program.stage.height() > 0)
        return program.stage;
    return kUsualStage;
}

// The callbacks through which the page reaches whatever is the root.
void addRootCallbacks(Swf::ActionWriter& a) {
    addCallback(a, kFrame, {}, readBody(QStringLiteral("_currentframe")));
    addCallback(a, kTotal, {}, readBody(QStringLiteral("_totalframes")));
    addCallback(a, kGotoPlay, {QStringLiteral("frame")}, gotoBody(QStringLiteral("gotoAndPlay")));
    addCallback(a, kGotoStop, {QStringLiteral("frame")}, gotoBody(QStringLiteral("gotoAndStop")));
    addCallback(a, kPlay, {}, timelineBody(QStringLiteral("play")));
    addCallback(a, kStop, {}, timelineBody(QStringLiteral("stop")));
    addCallback(a, kRootKind, {}, readBody(QStringLiteral("__proto__"), true));
}

} // namespace

QByteArray build(const Swf::Info& program, const QString& programUrl) {
    // The host's one frame starts the program, so it comes quickly; the
    // program then runs at its own rate (the engine takes the rate of the
    // movie that replaces level 0).
    Swf::SwfWriter w(8, stageOf(program), kHostRate);

    Swf::ActionWriter a;
    addRootCallbacks(a);
    dropOwnPrototype(a);
    // The program takes the host's place as the root.
    a.getUrl(programUrl, kRoot);
    a.stop();
    w.doAction(a);
    w.showFrame();
    return w.finish();
}

QByteArray waiting() {
    // The program that takes its place brings its own stage and rate.
    Swf::SwfWriter w(8, kUsualStage, kHostRate);

    Swf::ActionWriter a;
    addRootCallbacks(a);
    Swf::ActionWriter ready;
    ready.pushBool(true).returnValue();
    addCallback(a, kReady, {}, ready);
    Swf::ActionWriter open;
    open.pushString(QStringLiteral("url")).getVariable().pushString(kRoot).getUrl2();
    addCallback(a, kOpen, {QStringLiteral("url")}, open);
    dropOwnPrototype(a);
    a.stop();
    w.doAction(a);
    w.showFrame();
    return w.finish();
}

QByteArray emptyStage() {
    Swf::SwfWriter w(8, kUsualStage, 12.0);
    w.setBackground(kWhite);
    Swf::ActionWriter a;
    a.stop();
    w.doAction(a);
    w.showFrame();
    return w.finish();
}

} // namespace HostMovie

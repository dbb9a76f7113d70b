#include "HostMovie.h"

#include "SwfWriter.h"

#include <QStringList>

namespace HostMovie {

namespace {

const Swf::Rgb kWhite{255, 255, 255};
const QString kProgram = QStringLiteral("_level1");

// _level1.<method>(args...) with the arguments already on the stack.
void callOnProgram(Swf::ActionWriter& a, const QString& method, int argCount) {
    a.pushInt(argCount).pushString(kProgram).getVariable().pushString(method).callMethod();
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

Swf::ActionWriter frameBody() {
    Swf::ActionWriter b;
    b.pushString(kProgram).getVariable().pushString(QStringLiteral("_currentframe")).getMember();
    b.returnValue();
    return b;
}

Swf::ActionWriter gotoBody(const QString& method) {
    Swf::ActionWriter b;
    b.pushString(QStringLiteral("frame")).getVariable();
    callOnProgram(b, method, 1);
    b.pop();
    return b;
}

Swf::ActionWriter timelineBody(const QString& method) {
    Swf::ActionWriter b;
    callOnProgram(b, method, 0);
    b.pop();
    return b;
}

Swf::Rect stageOf(const Swf::Info& program) {
    // An unreadable stage would make an invisible host; fall back to the
    // engine's usual default stage.
    if (program.stage.width() > 0 && program.stage.height() > 0)
        return program.stage;
    return Swf::Rect{0, 550 * 20, 0, 400 * 20};
}

} // namespace

QByteArray build(const Swf::Info& program, const QString& programUrl) {
    Swf::SwfWriter w(8, stageOf(program), program.frameRate > 0 ? program.frameRate : 12.0);
    w.setBackground(program.background.value_or(kWhite));

    Swf::ActionWriter a;
    a.getUrl(programUrl, kProgram);
    addCallback(a, kFrame, {}, frameBody());
    addCallback(a, kGotoPlay, {QStringLiteral("frame")}, gotoBody(QStringLiteral("gotoAndPlay")));
    addCallback(a, kGotoStop, {QStringLiteral("frame")}, gotoBody(QStringLiteral("gotoAndStop")));
    addCallback(a, kPlay, {}, timelineBody(QStringLiteral("play")));
    addCallback(a, kStop, {}, timelineBody(QStringLiteral("stop")));
    // The host itself never moves on; only the program's timeline plays.
    a.stop();
    w.doAction(a);
    w.showFrame();
    return w.finish();
}

QByteArray emptyStage() {
    Swf::SwfWriter w(8, Swf::Rect{0, 550 * 20, 0, 400 * 20}, 12.0);
    w.setBackground(kWhite);
    Swf::ActionWriter a;
    a.stop();
    w.doAction(a);
    w.showFrame();
    return w.finish();
}

} // namespace HostMovie

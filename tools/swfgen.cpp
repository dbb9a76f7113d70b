// Writes small AVM1 test movies: an orange square that moves a step to the
// right every frame (wrapping at the right edge), so a screenshot tells which
// frame is showing, and nothing is ever a blank stage.
//
//   kibu-swfgen [--version N] [--frames N] [--rate FPS] [--size WxH]
//               [--stop-at FRAME] [--compress none|zlib|lzma] [--as3]
//               [--background RRGGBB] [--action FRAME:WHAT ...] OUTPUT.swf
//
// --action gives a frame a small ActionScript 1 program, one statement per
// option, run in the order given:
//   trace=TEXT        trace("TEXT")
//   trace-expr=A.B.C  trace(A.B.C), e.g. this, _target, _level0._totalframes
//   goto-stop=N       _level0.gotoAndStop(N)
//   load=URL,TARGET   getURL(URL, TARGET): loadMovie into a level "_levelN" or
//                     a clip, a window or frame otherwise
//   post=URL,TARGET   the same, sending the timeline's variables as a form
//   load-vars=URL     loadVariables(URL, "_root")
//   call=NAME         flash.external.ExternalInterface.call(NAME)
//   new=CLASS.METHOD,ARG...  new CLASS().METHOD(ARG, ...): numbers and
//                     true/false as such, anything else as a string
//   set=NAME,VALUE    NAME = "VALUE" on the timeline
//   clip=NAME,DEPTH   this.createEmptyMovieClip(NAME, DEPTH)
//   load-clip=URL,CLIP  loadMovie(URL, CLIP): into the clip CLIP names
//   lockroot=NAME     NAME._lockroot = true
//
// --busy N makes a busy cartoon scene of N gradient shapes; --frame-code
// shows the frame number as stripes a screenshot can read; --trace-time
// traces each frame with its getTimer().

#include "swf/AbcWriter.h"
#include "swf/SwfWriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kTwips = 20;
constexpr int kShapeId = 1;
constexpr int kDepth = 1;
constexpr int kSoundId = 2;
constexpr int kCoverId = 3;
constexpr int kCodeIds = 4;  // 4 black, 5 white
constexpr int kBusyIds = 10; // the busy scene's gradients, kBusyColours of them
constexpr int kBusyColours = 6;
constexpr int kBusyDepth = 100;
constexpr int kCodeDepth = 20000;
constexpr int kDefineShape3 = 32;
constexpr Swf::Rgb kOrange{0xFF, 0x8C, 0x00};
// Tag codes of the sound tags (the writer knows the others).
constexpr int kDefineSound = 14;
constexpr int kStartSound = 15;
constexpr int kOutlineTwips = 40;

struct MovieOptions {
    int version = 8;
    int frames = 60;
    double rate = 12;
    int width = 320;  // pixels
    int height = 240; // pixels
    int stopAt = 0;   // 1-based frame with stop(), 0 for none
    Swf::SwfWriter::Compression compression = Swf::SwfWriter::Compression::None;
    bool as3 = false;
    Swf::Rgb background{0xE8, 0xF4, 0xFF};
    QMap<int, Swf::ActionWriter> actions; // by 1-based frame
    int toneHz = 0;                       // a tone from the first frame on, for as long as it plays
    int coverFrom = 0; // a frame from which a rectangle of colour cover fills the stage
    Swf::Rgb cover;
    // ActionScript 3: a document class of this name (none: no code at all),
    // extending base, with frame scripts of statements by 1-based frame.
    QString documentClass;
    QString classBase = QStringLiteral("flash.display.MovieClip");
    int rootId = 0; // the SymbolClass id that names it
    bool finalClass = false;
    bool classThrows = false; // its constructor throws once the stage is traced
    QMap<int, QStringList> frameScripts;
    int busyShapes = 0;     // gradient, half-transparent shapes moving and scaling each frame
    bool frameCode = false; // the frame number in eight black and white stripes along the top
    bool traceTime = false; // every frame traces "frame N T", T from getTimer()
};

// One --action statement appended to a frame's actions; false when it does
// not parse.
bool addAction(const QString& what, Swf::ActionWriter& a) {
    const qsizetype eq = what.indexOf(u'=');
    if (eq < 0)
        return false;
    const QString kind = what.left(eq);
    const QString arg = what.mid(eq + 1);
    if (kind == QLatin1String("trace")) {
        a.pushString(arg).trace();
    } else if (kind == QLatin1String("trace-expr")) {
        const QStringList path = arg.split(u'.');
        a.pushString(path.first()).getVariable();
        for (const QString& member : path.mid(1))
            a.pushString(member).getMember();
        a.trace();
    } else if (kind == QLatin1String("goto-stop")) {
        bool ok = false;
        const int frame = arg.toInt(&ok);
        if (!ok || frame < 1)
            return false;
        a.pushInt(frame).pushInt(1).pushString(QStringLiteral("_level0")).getVariable();
        a.pushString(QStringLiteral("gotoAndStop")).callMethod().pop();
    } else if (kind == QLatin1String("load") || kind == QLatin1String("post")) {
        // The target is after the last comma: an address may hold commas.
        const qsizetype comma = arg.lastIndexOf(u',');
        if (comma < 0)
            return false;
        if (kind == QLatin1String("load"))
            a.getUrl(arg.left(comma), arg.mid(comma + 1));
        else
            a.pushString(arg.left(comma)).pushString(arg.mid(comma + 1)).getUrl2(a.kPost);
    } else if (kind == QLatin1String("load-vars")) {
        a.pushString(arg).pushString(QStringLiteral("_root"));
        a.getUrl2(a.kLoadVariables | a.kTargetIsClip);
    } else if (kind == QLatin1String("call")) {
        a.pushString(arg).pushInt(1);
        a.pushString(QStringLiteral("flash")).getVariable();
        a.pushString(QStringLiteral("external")).getMember();
        a.pushString(QStringLiteral("ExternalInterface")).getMember();
        a.pushString(QStringLiteral("call")).callMethod().pop();
    } else if (kind == QLatin1String("new")) {
        const QStringList parts = arg.split(u',');
        const QStringList call = parts.first().split(u'.');
        if (call.size() != 2)
            return false;
        for (qsizetype i = parts.size() - 1; i >= 1; --i) {
            bool number = false;
            const int value = parts[i].toInt(&number);
            if (number)
                a.pushInt(value);
            else if (parts[i] == QLatin1String("true") || parts[i] == QLatin1String("false"))
                a.pushBool(parts[i] == QLatin1String("true"));
            else
                a.pushString(parts[i]);
        }
        a.pushInt(int(parts.size() - 1));
        a.pushInt(0).pushString(call[0]).newObject();
        a.pushString(call[1]).callMethod().pop();
    } else if (kind == QLatin1String("set")) {
        const qsizetype comma = arg.indexOf(u',');
        if (comma < 0)
            return false;
        a.pushString(arg.left(comma)).pushString(arg.mid(comma + 1)).setVariable();
    } else if (kind == QLatin1String("clip")) {
        const qsizetype comma = arg.indexOf(u',');
        bool ok = false;
        const int depth = arg.mid(comma + 1).toInt(&ok);
        if (comma < 1 || !ok)
            return false;
        a.pushInt(depth).pushString(arg.left(comma)).pushInt(2);
        a.pushString(QStringLiteral("this")).getVariable();
        a.pushString(QStringLiteral("createEmptyMovieClip")).callMethod().pop();
    } else if (kind == QLatin1String("load-clip")) {
        const qsizetype comma = arg.lastIndexOf(u',');
        if (comma < 0)
            return false;
        a.pushString(arg.left(comma)).pushString(arg.mid(comma + 1)).getUrl2(a.kTargetIsClip);
    } else if (kind == QLatin1String("lockroot")) {
        a.pushString(arg).getVariable().pushString(QStringLiteral("_lockroot")).pushBool(true);
        a.setMember();
    } else {
        return false;
    }
    return true;
}

void appendU16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void appendRgb(QByteArray& out, Swf::Rgb c) {
    out.append(char(c.r));
    out.append(char(c.g));
    out.append(char(c.b));
}

// A filled rectangle with a dark outline, its top left corner at the origin.
QByteArray rectangleShape(int id, int widthTwips, int heightTwips, Swf::Rgb fill) {
    QByteArray body;
    appendU16(body, id);
    const int half = kOutlineTwips / 2;
    body.append(Swf::encodeRect({-half, widthTwips + half, -half, heightTwips + half}));
    body.append(char(1)); // one fill style: solid
    body.append(char(0x00));
    appendRgb(body, fill);
    body.append(char(1)); // one line style
    appendU16(body, kOutlineTwips);
    appendRgb(body, {0x40, 0x20, 0x00});

    Swf::BitWriter bits;
    bits.writeUnsigned(1, 4); // fill style index bits
    bits.writeUnsigned(1, 4); // line style index bits
    // Style change: line style and fill style 1 set, move to the origin.
    bits.writeUnsigned(0, 1); // not an edge
    bits.writeUnsigned(0, 1); // no new styles
    bits.writeUnsigned(1, 1); // line style
    bits.writeUnsigned(1, 1); // fill style 1
    bits.writeUnsigned(0, 1); // no fill style 0
    bits.writeUnsigned(1, 1); // move to
    bits.writeUnsigned(1, 5);
    bits.writeSigned(0, 1);
    bits.writeSigned(0, 1);
    bits.writeUnsigned(1, 1); // fill style 1 = the orange
    bits.writeUnsigned(1, 1); // line style = the outline
    // Clockwise on screen, so the fill is on each edge's right: fill style 1.
    const int n = std::max(
        {2, Swf::BitWriter::signedBits(widthTwips), Swf::BitWriter::signedBits(-widthTwips),
         Swf::BitWriter::signedBits(heightTwips), Swf::BitWriter::signedBits(-heightTwips)});
    const struct {
        bool vertical;
        int delta;
    } edges[] = {
        {false, widthTwips}, {true, heightTwips}, {false, -widthTwips}, {true, -heightTwips}};
    for (const auto& e : edges) {
        bits.writeUnsigned(1, 1); // edge
        bits.writeUnsigned(1, 1); // straight
        bits.writeUnsigned(std::uint32_t(n - 2), 4);
        bits.writeUnsigned(0, 1); // not a general line
        bits.writeUnsigned(e.vertical ? 1 : 0, 1);
        bits.writeSigned(e.delta, n);
    }
    bits.writeUnsigned(0, 6); // end of shape
    body.append(bits.bytes());
    return body;
}

// MATRIX: a translation in twips, and a scale (16.16 fixed point) unless 1.
QByteArray translateMatrix(int x, int y, double scale = 1) {
    Swf::BitWriter bits;
    const int fixed = int(std::lround(scale * 65536));
    bits.writeUnsigned(fixed == 65536 ? 0 : 1, 1); // scale
    if (fixed != 65536) {
        const int ns = Swf::BitWriter::signedBits(fixed);
        bits.writeUnsigned(std::uint32_t(ns), 5);
        bits.writeSigned(fixed, ns);
        bits.writeSigned(fixed, ns);
    }
    bits.writeUnsigned(0, 1); // no rotation
    const int n = std::max(Swf::BitWriter::signedBits(x), Swf::BitWriter::signedBits(y));
    bits.writeUnsigned(std::uint32_t(n), 5);
    bits.writeSigned(x, n);
    bits.writeSigned(y, n);
    return bits.bytes();
}

// PlaceObject2: the first placement names the character, later ones move it.
QByteArray placeShape(int id, int depth, bool first, int x, int y) {
    constexpr char kHasMatrix = 0x04, kHasCharacter = 0x02, kMove = 0x01;
    QByteArray body;
    body.append(first ? char(kHasMatrix | kHasCharacter) : char(kHasMatrix | kMove));
    appendU16(body, depth);
    if (first)
        appendU16(body, id);
    body.append(translateMatrix(x, y));
    return body;
}

// DefineShape3: a square of side twips around the origin, filled with a
// radial gradient from one half-transparent colour to another, no outline.
QByteArray gradientSquare(int id, int side, Swf::Rgb inner, Swf::Rgb outer) {
    QByteArray body;
    appendU16(body, id);
    const int half = side / 2;
    body.append(Swf::encodeRect({-half, half, -half, half}));
    body.append(char(1));    // one fill style
    body.append(char(0x12)); // radial gradient
    // The gradient square spans 32768 twips; scaled onto the shape.
    body.append(translateMatrix(0, 0, double(side) / 32768));
    body.append(char(2)); // two stops
    for (const auto& [ratio, c] : {std::pair{0, inner}, std::pair{255, outer}}) {
        body.append(char(ratio));
        appendRgb(body, c);
        body.append(char(ratio == 0 ? 0xC0 : 0x50)); // alpha
    }
    body.append(char(0)); // no line styles
    Swf::BitWriter bits;
    bits.writeUnsigned(1, 4); // fill style index bits
    bits.writeUnsigned(0, 4); // no line style bits
    bits.writeUnsigned(0, 1); // style change
    bits.writeUnsigned(0, 1);
    bits.writeUnsigned(0, 1); // no line style
    bits.writeUnsigned(1, 1); // fill style 1
    bits.writeUnsigned(0, 1);
    bits.writeUnsigned(1, 1); // move to the top left corner
    const int m = std::max(2, Swf::BitWriter::signedBits(-half));
    bits.writeUnsigned(std::uint32_t(m), 5);
    bits.writeSigned(-half, m);
    bits.writeSigned(-half, m);
    bits.writeUnsigned(1, 1);
    const int n = std::max(2, Swf::BitWriter::signedBits(-side));
    for (const auto& [vertical, delta] :
         {std::pair{false, side}, {true, side}, {false, -side}, {true, -side}}) {
        bits.writeUnsigned(1, 1); // straight edge
        bits.writeUnsigned(1, 1);
        bits.writeUnsigned(std::uint32_t(n - 2), 4);
        bits.writeUnsigned(0, 1);
        bits.writeUnsigned(vertical ? 1 : 0, 1);
        bits.writeSigned(delta, n);
    }
    bits.writeUnsigned(0, 6);
    body.append(bits.bytes());
    return body;
}

// PlaceObject2 that puts character id at a depth, replacing what was there
// unless it is the first.
QByteArray replaceAt(int id, int depth, bool first, const QByteArray& matrix) {
    QByteArray body;
    body.append(char(0x04 | 0x02 | (first ? 0 : 0x01))); // matrix, character, move
    appendU16(body, depth);
    appendU16(body, id);
    body.append(matrix);
    return body;
}

// The document class: its constructor calls the base's, traces the stage's
// frame rate (the stage is there in the constructor of a root), then adds
// one frame script per frame that has statements. A statement traces a text
// ("trace=TEXT"), the frame ("trace-frame"), the root itself ("trace-this"),
// or stops ("stop") or goes to a frame and stops ("goto-stop=N").
QByteArray documentClass(const MovieOptions& o) {
    Abc::Writer w;
    const auto pub = [&w](const char* n) { return w.publicName(QString::fromLatin1(n)); };
    const qsizetype dot = o.classBase.lastIndexOf(u'.');
    const int base =
        w.publicName(o.classBase.mid(dot + 1), o.classBase.left(std::max<qsizetype>(dot, 0)));
    const int name = w.publicName(o.documentClass);
    const int own = w.ns(Abc::kPrivateNs, o.documentClass);
    const int trace = pub("trace");

    QList<Abc::Trait> traits;
    Abc::Code constructor;
    constructor.getLocal(0).pushScope().getLocal(0).constructSuper(0);
    constructor.findPropStrict(trace)
        .pushString(w.string(QStringLiteral("stage ")))
        .getLocal(0)
        .getProperty(pub("stage"))
        .getProperty(pub("frameRate"))
        .add()
        .callPropVoid(trace, 1);
    if (o.classThrows)
        constructor.pushString(w.string(QStringLiteral("broken"))).throwValue();
    for (auto it = o.frameScripts.cbegin(); it != o.frameScripts.cend(); ++it) {
        Abc::Code script;
        script.getLocal(0).pushScope();
        for (const QString& statement : it.value()) {
            const QString arg = statement.section(u'=', 1);
            if (statement.startsWith(QLatin1String("trace="))) {
                script.findPropStrict(trace).pushString(w.string(arg)).callPropVoid(trace, 1);
            } else if (statement == QLatin1String("trace-frame")) {
                script.findPropStrict(trace)
                    .pushString(w.string(QStringLiteral("frame ")))
                    .getLocal(0)
                    .getProperty(pub("currentFrame"))
                    .add()
                    .callPropVoid(trace, 1);
            } else if (statement == QLatin1String("trace-this")) {
                script.findPropStrict(trace).getLocal(0).callPropVoid(trace, 1);
            } else if (statement == QLatin1String("stop")) {
                script.getLocal(0).callPropVoid(pub("stop"), 0);
            } else if (statement.startsWith(QLatin1String("goto-stop="))) {
                script.getLocal(0).pushShort(arg.toInt()).callPropVoid(pub("gotoAndStop"), 1);
            }
        }
        script.returnVoid();
        const int method = w.qname(own, QStringLiteral("frame%1").arg(it.key()));
        traits.append({method, Abc::Trait::Method, w.method(0, script, 1), 0});
        constructor.getLocal(0)
            .pushShort(it.key() - 1)
            .getLocal(0)
            .getProperty(method)
            .callPropVoid(pub("addFrameScript"), 2);
    }
    constructor.returnVoid();
    const std::uint8_t flags = Abc::kClassSealed | (o.finalClass ? Abc::kClassFinal : 0);
    const int classIndex = w.addClass(name, base, flags, w.method(0, constructor, 1), traits);
    Abc::Code init;
    init.getLocal(0).pushScope().getScopeObject(0).getLex(base).newClass(classIndex);
    init.initProperty(name).returnVoid();
    w.addScript(w.method(0, init, 1), {{name, Abc::Trait::Class, classIndex, 0}});

    QByteArray body;
    body.append(QByteArray(4, '\0')); // executed at once
    body.append("main");
    body.append('\0');
    body.append(w.finish());
    return body;
}

// SymbolClass: the root (id 0) is an instance of the class.
QByteArray rootSymbol(const QString& className, int id) {
    QByteArray body;
    appendU16(body, 1);
    appendU16(body, std::uint16_t(id));
    body.append(className.toUtf8());
    body.append('\0');
    return body;
}

// DefineSound: one second of a sine tone, 16-bit mono PCM at 22050 Hz
// (uncompressed, little-endian), at half the full scale.
QByteArray toneSound(int hz) {
    constexpr int kRate = 22050;
    QByteArray body;
    appendU16(body, kSoundId);
    body.append(char(3 << 4 | 2 << 2 | 1 << 1)); // uncompressed LE, 22 kHz, 16 bit, mono
    for (int shift = 0; shift < 32; shift += 8)
        body.append(char(kRate >> shift & 0xff));
    for (int i = 0; i < kRate; ++i)
        appendU16(body, qint16(16384 * std::sin(2 * M_PI * hz * i / kRate)) & 0xffff);
    return body;
}

// StartSound: the tone, looped as often as the format allows.
QByteArray startTone() {
    QByteArray body;
    appendU16(body, kSoundId);
    body.append(char(0x04)); // SOUNDINFO: loops follow
    appendU16(body, 0xffff);
    return body;
}

QByteArray makeMovie(const MovieOptions& o) {
    Swf::SwfWriter w(o.version, {0, o.width * kTwips, 0, o.height * kTwips}, o.rate);
    if (o.as3)
        w.fileAttributes(Swf::kActionScript3);
    else if (o.version >= 8)
        w.fileAttributes(0); // what Flash writes for an AVM1 movie from version 8 on
    w.setBackground(o.background);

    const int side = std::max(1, std::min(o.width, o.height) / 3);
    const int travel = o.width - side; // pixels the square can move
    const int step = o.frames > 1 ? std::max(1, travel / (o.frames - 1)) : 0;
    const int y = (o.height - side) / 2 * kTwips;
    w.tag(Swf::kDefineShape, rectangleShape(kShapeId, side * kTwips, side * kTwips, kOrange));
    if (o.coverFrom > 0)
        w.tag(Swf::kDefineShape,
              rectangleShape(kCoverId, o.width * kTwips, o.height * kTwips, o.cover));
    if (o.frameCode) {
        const int width = o.width * kTwips / 8 - kOutlineTwips;
        for (int white = 0; white < 2; ++white)
            w.tag(Swf::kDefineShape,
                  rectangleShape(kCodeIds + white, width, 24 * kTwips,
                                 white ? Swf::Rgb{0xFF, 0xFF, 0xFF} : Swf::Rgb{0, 0, 0}));
    }
    const Swf::Rgb busyColours[kBusyColours] = {{0xFF, 0x40, 0x40}, {0x40, 0xC0, 0xFF},
                                                {0xFF, 0xE0, 0x30}, {0x60, 0xE0, 0x60},
                                                {0xC0, 0x60, 0xFF}, {0xFF, 0xA0, 0xC0}};
    if (o.busyShapes > 0)
        for (int c = 0; c < kBusyColours; ++c)
            w.tag(kDefineShape3, gradientSquare(kBusyIds + c, 120 * kTwips, busyColours[c],
                                                busyColours[(c + 2) % kBusyColours]));
    for (int frame = 1; frame <= o.frames; ++frame) {
        const int x = (frame - 1) * step % (std::max(0, travel) + 1) * kTwips;
        w.tag(Swf::kPlaceObject2, placeShape(kShapeId, kDepth, frame == 1, x, y));
        for (int i = 0; i < o.busyShapes; ++i) {
            // Each on a path of its own across the stage, growing and shrinking.
            const double a = frame * 0.06 + i * 0.7;
            const int bx =
                int((o.width / 2.0 + (o.width / 2.0 - 30) * std::sin(a * 1.3 + i)) * kTwips);
            const int by =
                int((o.height / 2.0 + (o.height / 2.0 - 30) * std::cos(a * 0.9 + 2 * i)) * kTwips);
            const double scale = 0.7 + 0.5 * std::sin(a * 2 + i);
            QByteArray place;
            place.append(char(frame == 1 ? 0x06 : 0x05)); // matrix, and character or move
            appendU16(place, kBusyDepth + i);
            if (frame == 1)
                appendU16(place, kBusyIds + i % kBusyColours);
            place.append(translateMatrix(bx, by, scale));
            w.tag(Swf::kPlaceObject2, place);
        }
        if (o.frameCode)
            for (int bit = 0; bit < 8; ++bit) {
                const bool white = ((frame - 1) & 0xFF) >> bit & 1;
                const bool wasWhite = frame > 1 && ((frame - 2) & 0xFF) >> bit & 1;
                if (frame == 1 || white != wasWhite)
                    w.tag(
                        Swf::kPlaceObject2,
                        replaceAt(kCodeIds + white, kCodeDepth + bit, frame == 1,
                                  translateMatrix((bit * o.width / 8) * kTwips + kOutlineTwips / 2,
                                                  kOutlineTwips / 2)));
            }

        if (frame == o.coverFrom)
            w.tag(Swf::kPlaceObject2, placeShape(kCoverId, kDepth + 1, true, 0, 0));
        if (frame == 1 && !o.documentClass.isEmpty()) {
            w.tag(Swf::kDoAbc, documentClass(o));
            w.tag(Swf::kSymbolClass, rootSymbol(o.documentClass, o.rootId));
        }
        if (frame == 1 && o.toneHz > 0) {
            w.tag(kDefineSound, toneSound(o.toneHz));
            w.tag(kStartSound, startTone());
        }
        Swf::ActionWriter actions = o.actions.value(frame);
        if (o.traceTime)
            actions.pushString(QStringLiteral("frame %1 ").arg(frame)).getTime().add2().trace();
        if (o.traceTime || o.actions.contains(frame))
            w.doAction(actions);
        if (frame == o.stopAt && !o.as3)
            w.doAction(Swf::ActionWriter().stop());
        w.showFrame();
    }
    return w.finish(o.compression);
}

int fail(const QString& what) {
    std::fprintf(stderr, "kibu-swfgen: %s\n", qPrintable(what));
    return 2;
}

bool parseInt(const QString& text, int min, int max, int* out) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes an AVM1 test movie: a square that moves right by a step each frame.");
    parser.addHelpOption();
    const QCommandLineOption version("version", "SWF version (default 8).", "N", "8");
    const QCommandLineOption frames("frames", "Number of frames (default 60).", "N", "60");
    const QCommandLineOption rate("rate", "Frames per second (default 12).", "FPS", "12");
    const QCommandLineOption size("size", "Stage in pixels (default 320x240).", "WxH", "320x240");
    const QCommandLineOption stopAt("stop-at", "Frame (1-based) whose actions call stop().",
                                    "FRAME");
    const QCommandLineOption compress("compress", "none, zlib or lzma (default none).", "KIND",
                                      "none");
    const QCommandLineOption as3("as3", "Mark the movie ActionScript 3 (and leave out actions).");
    const QCommandLineOption background("background", "Stage colour (default E8F4FF).", "RRGGBB",
                                        "E8F4FF");
    const QCommandLineOption action("action", "Frame (1-based) and a statement for it.",
                                    "FRAME:WHAT");
    const QCommandLineOption tone("tone", "A tone of this pitch from the first frame on.", "HZ");
    const QCommandLineOption cover("cover", "From this frame on, the stage in a colour.",
                                   "FRAME:RRGGBB");
    const QCommandLineOption documentClass(
        "class",
        "ActionScript 3 with a document class of this name; --action and --stop-at "
        "become its frame scripts (trace=TEXT, trace-frame, trace-this, stop, goto-stop=N).",
        "NAME");
    const QCommandLineOption classBase("class-base", "Its base (default flash.display.MovieClip).",
                                       "QNAME", QStringLiteral("flash.display.MovieClip"));
    const QCommandLineOption rootId("root-id",
                                    "Name the document class through this SymbolClass id, one "
                                    "no tag defines, as some tools do (default 0).",
                                    "ID", QStringLiteral("0"));
    const QCommandLineOption finalClass("final", "Mark the document class final.");
    const QCommandLineOption classThrows("throws", "The document class's constructor throws.");
    const QCommandLineOption busy("busy",
                                  "This many gradient, half-transparent shapes that move "
                                  "and scale every frame: a busy cartoon scene.",
                                  "N");
    const QCommandLineOption frameCode(
        "frame-code", "The frame number (modulo 256) in eight black and white stripes along the "
                      "top, lowest bit on the left.");
    const QCommandLineOption traceTime("trace-time", "Every frame traces \"frame N T\", T its "
                                                     "getTimer() in ms (ActionScript 1).");
    parser.addOptions({version, frames, rate, size, stopAt, compress, as3, background, action, tone,
                       cover, documentClass, classBase, rootId, finalClass, classThrows, busy,
                       frameCode, traceTime});
    parser.addPositionalArgument("output", "The .swf file to write.");
    parser.process(app);

    MovieOptions o;
    if (!parseInt(parser.value(version), 1, 255, &o.version))
        return fail("--version must be 1 to 255");
    if (!parseInt(parser.value(frames), 1, 65535, &o.frames))
        return fail("--frames must be 1 to 65535");
    bool ok = false;
    o.rate = parser.value(rate).toDouble(&ok);
    if (!ok || !(o.rate > 0) || o.rate >= 256)
        return fail("--rate must be above 0 and below 256");
    const QRegularExpressionMatch m =
        QRegularExpression("^(\\d+)x(\\d+)$").match(parser.value(size));
    // 8191 pixels keeps every coordinate well inside the fields' widths.
    if (!m.hasMatch() || !parseInt(m.captured(1), 1, 8191, &o.width) ||
        !parseInt(m.captured(2), 1, 8191, &o.height))
        return fail("--size must be WxH, each 1 to 8191 pixels");
    if (parser.isSet(stopAt) && !parseInt(parser.value(stopAt), 1, o.frames, &o.stopAt))
        return fail("--stop-at must be a frame from 1 to the frame count");
    const QString kind = parser.value(compress);
    if (kind == "none")
        o.compression = Swf::SwfWriter::Compression::None;
    else if (kind == "zlib")
        o.compression = Swf::SwfWriter::Compression::Zlib;
    else if (kind == "lzma")
        o.compression = Swf::SwfWriter::Compression::Lzma;
    else
        return fail("--compress must be none, zlib or lzma");
    o.documentClass = parser.value(documentClass);
    o.classBase = parser.value(classBase);
    o.rootId = parser.value(rootId).toInt();
    if (o.rootId < 0 || o.rootId > 65535)
        return fail("--root-id must be 0 to 65535");
    o.finalClass = parser.isSet(finalClass);
    o.classThrows = parser.isSet(classThrows);
    o.as3 = parser.isSet(as3) || !o.documentClass.isEmpty();
    if (!o.documentClass.isEmpty() && o.version < 9)
        return fail("--class needs --version 9 or later");
    if (o.as3 && parser.isSet(stopAt)) {
        if (o.documentClass.isEmpty())
            return fail("--stop-at needs code: give --class");
        o.frameScripts[o.stopAt].append(QStringLiteral("stop"));
    }
    if (parser.isSet(cover)) {
        const QRegularExpressionMatch c =
            QRegularExpression("^(\\d+):([0-9A-Fa-f]{6})$").match(parser.value(cover));
        if (!c.hasMatch() || !parseInt(c.captured(1), 1, o.frames, &o.coverFrom))
            return fail("--cover must be FRAME:RRGGBB");
        const uint v = c.captured(2).toUInt(nullptr, 16);
        o.cover = {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
    }
    const QString colour = parser.value(background);
    if (!QRegularExpression("^[0-9A-Fa-f]{6}$").match(colour).hasMatch())
        return fail("--background must be six hex digits, RRGGBB");
    const uint rgb = colour.toUInt(nullptr, 16);
    o.background = {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)};
    for (const QString& given : parser.values(action)) {
        const qsizetype colon = given.indexOf(u':');
        int frame = 0;
        if (colon < 0 || !parseInt(given.left(colon), 1, o.frames, &frame))
            return fail(QStringLiteral("cannot use --action %1").arg(given));
        if (!o.documentClass.isEmpty())
            o.frameScripts[frame].append(given.mid(colon + 1));
        else if (o.as3 || !addAction(given.mid(colon + 1), o.actions[frame]))
            return fail(QStringLiteral("cannot use --action %1").arg(given));
    }
    if (parser.isSet(busy) && !parseInt(parser.value(busy), 1, 2000, &o.busyShapes))
        return fail("--busy must be 1 to 2000 shapes");
    o.frameCode = parser.isSet(frameCode);
    o.traceTime = parser.isSet(traceTime);
    if (o.traceTime && o.as3)
        return fail("--trace-time is ActionScript 1");
    if (parser.isSet(tone) && !parseInt(parser.value(tone), 20, 10000, &o.toneHz))
        return fail("--tone must be 20 to 10000 Hz");
    if (parser.positionalArguments().size() != 1)
        return fail("give exactly one output path");

    const QString path = parser.positionalArguments().first();
    QSaveFile out(path);
    const QByteArray bytes = makeMovie(o);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return fail(QStringLiteral("cannot write %1").arg(path));
    return 0;
}

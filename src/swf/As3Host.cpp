#include "swf/As3Host.h"

#include "swf/AbcReader.h"
#include "swf/AbcWriter.h"
#include "swf/HostMovie.h"
#include "swf/SwfInfo.h"
#include "swf/SwfWriter.h"

#include <QHash>
#include <QList>
#include <QSet>

#include <limits>

namespace As3Host {

namespace {

using namespace Swf;
constexpr std::uint32_t kLazyInitialize = 1; // DoABC: run the script when first needed

// Tags that define a character, its id in their first two bytes.
bool definesCharacter(int code) {
    static const QSet<int> codes = {2,  6,  7,  10, 11, 14, 20, 21, 22, 32, 33, 34, 35,
                                    36, 37, 39, 46, 48, 60, 75, 83, 84, 87, 90, 91};
    return codes.contains(code);
}
const QString kMovieClip = QStringLiteral("flash.display.MovieClip");

std::uint32_t le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(u[0]) | std::uint32_t(u[1]) << 8 | std::uint32_t(u[2]) << 16 |
           std::uint32_t(u[3]) << 24;
}

void appendU16(QByteArray& out, std::uint32_t v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8 & 0xFF));
}

void appendU32(QByteArray& out, std::uint32_t v) {
    appendU16(out, v & 0xFFFF);
    appendU16(out, v >> 16);
}

QByteArray tag(int code, const QByteArray& body) {
    QByteArray out;
    appendU16(out, std::uint32_t(code) << 6 | 0x3F); // always the long form
    appendU32(out, std::uint32_t(body.size()));
    return out + body;
}

struct Tag {
    int code = 0;
    qsizetype start = 0; // of its header, in the plain file
    qsizetype body = 0;  // of its body
    qsizetype length = 0;
};

// "pkg.Name" as a package and a name.
std::pair<QString, QString> split(const QString& qualified) {
    const qsizetype dot = qualified.lastIndexOf(u'.');
    return dot < 0 ? std::pair{QString(), qualified}
                   : std::pair{qualified.left(dot), qualified.mid(dot + 1)};
}

// The class: each callback of the host movie is a method acting on this,
// registered before the program's own constructor runs; the probe answers
// "object" once that constructor has returned.
QByteArray rootClass(const QString& base, std::uint8_t baseFlags) {
    using namespace Abc;
    Writer w;
    const auto [package, name] = split(As3Host::className(base));
    const auto [basePackage, baseName] = split(base);
    const int className = w.publicName(name, package);
    const int own = w.ns(kPrivateNs, As3Host::className(base));
    const int state = w.qname(own, QStringLiteral("state"));
    const auto pub = [&w](const char* n) { return w.publicName(QString::fromLatin1(n)); };

    struct Callback {
        QString name;
        int params;
        Code code;
    };
    QList<Callback> callbacks;
    const auto read = [&](const char* property) {
        Code c;
        c.getLocal(0).getProperty(pub(property)).returnValue();
        return c;
    };
    const auto call = [&](const char* method, int params) {
        Code c;
        c.getLocal(0);
        if (params > 0)
            c.getLocal(1);
        c.callPropVoid(pub(method), params).returnVoid();
        return c;
    };
    Code probe;
    probe.getLocal(0).getProperty(state).returnValue();
    callbacks = {{HostMovie::kFrame, 0, read("currentFrame")},
                 {HostMovie::kTotal, 0, read("totalFrames")},
                 {HostMovie::kGotoPlay, 1, call("gotoAndPlay", 1)},
                 {HostMovie::kGotoStop, 1, call("gotoAndStop", 1)},
                 {HostMovie::kPlay, 0, call("play", 0)},
                 {HostMovie::kStop, 0, call("stop", 0)},
                 {HostMovie::kRootKind, 0, probe}};

    QList<Trait> traits{{state, Trait::Slot, 0, w.string(QStringLiteral("undefined"))}};
    Code constructor;
    constructor.getLocal(0).pushScope();
    const int externalInterface =
        w.publicName(QStringLiteral("ExternalInterface"), QStringLiteral("flash.external"));
    for (const Callback& cb : callbacks) {
        const int method = w.qname(own, cb.name);
        traits.append({method, Trait::Method, w.method(cb.params, cb.code, cb.params + 1), 0});
        constructor.getLex(externalInterface)
            .pushString(w.string(cb.name))
            .getLocal(0)
            .getProperty(method)
            .callPropVoid(pub("addCallback"), 2);
    }
    constructor.getLocal(0).constructSuper(0);
    constructor.getLocal(0).pushString(w.string(QStringLiteral("object"))).setProperty(state);
    constructor.returnVoid();

    // Sealed as the program's class is (a plain MovieClip root is dynamic).
    const int classIndex =
        w.addClass(className, w.publicName(baseName, basePackage), baseFlags & kClassSealed,
                   w.method(0, constructor, 1), traits);
    Code init;
    init.getLocal(0)
        .pushScope()
        .getScopeObject(0)
        .getLex(w.publicName(baseName, basePackage))
        .newClass(classIndex)
        .initProperty(className)
        .returnVoid();
    w.addScript(w.method(0, init, 1), {{className, Trait::Class, classIndex, 0}});

    QByteArray body;
    appendU32(body, kLazyInitialize);
    body.append("kibu");
    body.append('\0');
    body.append(w.finish());
    return tag(kDoAbc, body);
}

std::optional<QByteArray> refuse(QString* why, const QString& reason) {
    if (why)
        *why = reason;
    return std::nullopt;
}

// The program in plain form: a plain file as it is (no copy), a compressed
// one inflated.
std::optional<QByteArray> plainForm(const QByteArray& program) {
    if (program.startsWith("FWS") && program.size() >= 8 && program.size() <= kMaxPlainLength &&
        le32(program.constData() + 4) == std::uint32_t(program.size()))
        return program;
    return Swf::uncompressed(program);
}

} // namespace

QString className(const QString& base) {
    return kPackage + u'.' + split(base).second;
}

std::optional<QByteArray> rewrite(const QByteArray& program, QString* why) {
    const std::optional<QByteArray> plain = plainForm(program);
    if (!plain || plain->size() < 9)
        return refuse(why, QStringLiteral("not a SWF"));
    const QByteArray& swf = *plain;
    // The body: a RECT of 5 + 4n bits, the rate, the frame count, then tags.
    const int nbits = std::uint8_t(swf[8]) >> 3;
    qsizetype at = 8 + (5 + 4 * nbits + 7) / 8 + 4;

    QList<Tag> tags;
    // Where the first frame ends: its ShowFrame or End, or where the tags
    // stop before either (the added tags go there).
    qsizetype frameEnd = -1;
    while (at + 2 <= swf.size()) {
        Tag t;
        t.start = at;
        const std::uint32_t head = std::uint8_t(swf[at]) | std::uint32_t(std::uint8_t(swf[at + 1]))
                                                               << 8;
        t.code = int(head >> 6);
        t.length = head & 0x3F;
        at += 2;
        if (t.length == 0x3F) {
            if (at + 4 > swf.size())
                break;
            t.length = le32(swf.constData() + at);
            at += 4;
        }
        t.body = at;
        if (t.length < 0 || t.length > swf.size() - at)
            return refuse(why, QStringLiteral("a tag runs past the end"));
        at += t.length;
        tags.append(t);
        if (t.code == 0 || t.code == kShowFrame) {
            frameEnd = t.start;
            break; // what the first frame defines is what matters
        }
    }
    if (frameEnd < 0)
        frameEnd = tags.isEmpty() ? at : tags.last().body + tags.last().length;
    if (tags.isEmpty() || tags.first().code != kFileAttributes || tags.first().length < 1 ||
        !(std::uint8_t(swf[tags.first().body]) & kActionScript3))
        return refuse(why, QStringLiteral("not ActionScript 3"));

    QHash<QString, Abc::ClassInfo> classes;
    QSet<int> defined;        // characters defined so far
    int symbolTag = -1;       // the SymbolClass tag that names the root
    qsizetype rootEntry = -1; // where its entry for the root begins
    QString document;
    for (int i = 0; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        const char* body = swf.constData() + t.body;
        if (definesCharacter(t.code) && t.length >= 2) {
            defined.insert(std::uint8_t(body[0]) | std::uint8_t(body[1]) << 8);
        } else if (t.code == kDoAbc || t.code == kDoAbcOld) {
            qsizetype skip = 0;
            if (t.code == kDoAbc) {
                const qsizetype end = QByteArray::fromRawData(body, t.length).indexOf('\0', 4);
                skip = t.length >= 4 && end >= 0 ? end + 1 : -1;
            }
            const auto read = skip < 0 ? std::nullopt
                                       : Abc::readClasses(QByteArray(body + skip, t.length - skip));
            if (!read)
                return refuse(why, QStringLiteral("an ABC that cannot be read"));
            for (const Abc::ClassInfo& c : *read)
                classes.insert(c.name, c);
        } else if (t.code == kSymbolClass && t.length >= 2) {
            const int count = std::uint8_t(body[0]) | std::uint8_t(body[1]) << 8;
            qsizetype p = 2;
            for (int k = 0; k < count && p + 2 < t.length; ++k) {
                const int id = std::uint8_t(body[p]) | std::uint8_t(body[p + 1]) << 8;
                const qsizetype end = QByteArray::fromRawData(body, t.length).indexOf('\0', p + 2);
                if (end < 0)
                    break;
                // As the engine reads it: the first entry that names no
                // character (id 0, the movie itself, or an id never defined).
                if (symbolTag < 0 && (id == 0 || !defined.contains(id))) {
                    symbolTag = i;
                    rootEntry = p;
                    document = QString::fromUtf8(body + p + 2, end - p - 2);
                }
                p = end + 1;
            }
        }
    }

    if (symbolTag >= 0 && document.isEmpty())
        return refuse(why, QStringLiteral("the document class has no name"));
    std::uint8_t flags = 0;
    if (symbolTag >= 0) {
        const auto found = classes.constFind(document);
        if (found == classes.constEnd())
            return refuse(why, QStringLiteral("the document class is not in the first frame"));
        flags = found->flags;
        if (flags & Abc::kClassFinal)
            return refuse(why, QStringLiteral("the document class is final"));
        // Up its bases, within the program, to the player's own class (which
        // a class of the program's own of that name does not replace).
        QString base = document;
        for (int depth = 0; base != kMovieClip && classes.contains(base) && depth < 64; ++depth)
            base = classes.value(base).superName;
        if (base != kMovieClip)
            return refuse(why, QStringLiteral("the document class is no MovieClip"));
    }

    const QByteArray added = rootClass(symbolTag >= 0 ? document : kMovieClip, flags);
    // What is inserted, where, and how much of the program it replaces.
    QByteArray inserted = added;
    qsizetype where = 0, replaced = 0;
    if (symbolTag >= 0) {
        // The added class goes right before the SymbolClass that names the
        // root, whose root entry then names it instead.
        const Tag& t = tags[symbolTag];
        const QByteArray oldBody = swf.mid(t.body, t.length);
        const qsizetype nameEnd = oldBody.indexOf('\0', rootEntry + 2);
        inserted += tag(kSymbolClass, oldBody.left(rootEntry + 2) + className(document).toUtf8() +
                                          oldBody.mid(nameEnd));
        where = t.start;
        replaced = t.body + t.length - t.start;
    } else {
        // No document class: the added one, named as the root, right before
        // the first frame ends.
        QByteArray symbol;
        appendU16(symbol, 1);
        appendU16(symbol, 0);
        symbol += className(kMovieClip).toUtf8() + '\0';
        inserted += tag(kSymbolClass, symbol);
        where = frameEnd;
    }
    // One copy of the program: it may be large.
    QByteArray out;
    out.reserve(swf.size() - replaced + inserted.size());
    out.append(swf.constData(), where);
    out.append(inserted);
    out.append(swf.constData() + where + replaced, swf.size() - where - replaced);
    // The header holds the length in 32 bits: written only when it fits.
    if (quint64(out.size()) > std::numeric_limits<std::uint32_t>::max())
        return refuse(why, QStringLiteral("too large"));
    out[0] = 'F';
    const std::uint32_t length = std::uint32_t(out.size());
    for (int i = 0; i < 4; ++i)
        out[4 + i] = char(length >> (8 * i) & 0xFF);
    return out;
}

} // namespace As3Host

// What adding the player's class to an ActionScript 3 program costs, on the
// click that starts it: a 20 MB program (its document class in frame 1, then
// 20 MB of data), plain and zlib-compressed. Median of 21 runs each.
//
//   build/bench/bench_as3host

#include "swf/AbcWriter.h"
#include "swf/As3Host.h"
#include "swf/SwfWriter.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray program(Swf::SwfWriter::Compression compression) {
    Abc::Writer w;
    const int main = w.publicName(QStringLiteral("Main"));
    const int base = w.publicName(QStringLiteral("MovieClip"), QStringLiteral("flash.display"));
    Abc::Code constructor;
    constructor.getLocal(0).pushScope().getLocal(0).constructSuper(0).returnVoid();
    const int index = w.addClass(main, base, Abc::kClassSealed, w.method(0, constructor, 1), {});
    Abc::Code init;
    init.getLocal(0).pushScope().getScopeObject(0).getLex(base).newClass(index);
    init.initProperty(main).returnVoid();
    w.addScript(w.method(0, init, 1), {{main, Abc::Trait::Class, index, 0}});

    Swf::SwfWriter movie(10, {0, 11000, 0, 8000}, 24);
    movie.fileAttributes(Swf::kActionScript3);
    movie.tag(Swf::kDoAbc, QByteArray(4, '\0') + "main" + '\0' + w.finish());
    movie.tag(Swf::kSymbolClass, QByteArray::fromHex("01000000") + "Main" + '\0');
    movie.showFrame();
    // DefineBinaryData: what a cartoon's pictures and sounds weigh.
    QByteArray data(20 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator gen(1);
    for (char& c : data)
        c = char(gen.bounded(256));
    movie.tag(87, QByteArray::fromHex("010000000000") + data);
    movie.showFrame();
    return movie.finish(compression);
}

double medianMs(const QByteArray& bytes) {
    std::vector<double> ms;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer t;
        t.start();
        const auto out = As3Host::rewrite(bytes);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!out)
            return -1;
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main() {
    using C = Swf::SwfWriter::Compression;
    for (const auto& [compression, name] :
         {std::pair{C::None, "plain (FWS)"}, std::pair{C::Zlib, "zlib (CWS)"}}) {
        const QByteArray bytes = program(compression);
        std::printf("20 MB program, %s, %.1f MB on disk: rewrite %.1f ms (median of 21)\n", name,
                    double(bytes.size()) / 1e6, medianMs(bytes));
    }
    return 0;
}

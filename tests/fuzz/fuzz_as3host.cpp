// The rewrite of an ActionScript 3 program before it plays.
#include "Check.h"

#include "swf/As3Host.h"
#include "swf/SwfInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = fuzzBytes(data, size);
    QString why;
    const auto rewritten = As3Host::rewrite(bytes, &why);
    if (!rewritten) {
        FUZZ_CHECK(!why.isEmpty());
        return 0;
    }
    FUZZ_CHECK(rewritten->startsWith("FWS") && rewritten->size() > bytes.size() / 1024);
    const Swf::Info info = Swf::parse(*rewritten);
    FUZZ_CHECK(info.valid && info.actionScript3 && info.fileLength == quint32(rewritten->size()));
    FUZZ_CHECK(info.frameCount == Swf::parse(bytes).frameCount);
    // Rewriting the rewritten program works as well.
    FUZZ_CHECK(As3Host::rewrite(*rewritten).has_value());
    return 0;
}

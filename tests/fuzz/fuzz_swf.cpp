// A .swf file as a folder or the download server hands it over.
#include "Check.h"

#include "swf/SwfInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = fuzzBytes(data, size);
    const Swf::Info info = Swf::parse(bytes);
    if (info.valid)
        FUZZ_CHECK(QByteArray("FCZ").contains(info.signature) && info.frameCount >= 0);
    else
        FUZZ_CHECK(info.frameCount == 0);
    const auto plain = Swf::uncompressed(bytes);
    if (plain) {
        FUZZ_CHECK(info.valid && !info.tooLarge());
        FUZZ_CHECK(plain->startsWith("FWS") && plain->size() >= 8);
        FUZZ_CHECK(plain->size() <= qsizetype(Swf::kMaxPlainLength));
        FUZZ_CHECK(Swf::parse(*plain).fileLength == quint32(plain->size()));
    }
    return 0;
}

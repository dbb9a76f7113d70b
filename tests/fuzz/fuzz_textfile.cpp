// The program's GBK text files: lists, names, the version file.
#include "Check.h"

#include "catalogue/TextFile.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = fuzzBytes(data, size);
    const QString text = TextFile::decode(bytes);
    // Nothing is lost: what was read is written back byte for byte.
    QByteArray again;
    FUZZ_CHECK(TextFile::encode(text, &again));
    FUZZ_CHECK(again == bytes);
    for (const QString& line : TextFile::splitLines(text)) {
        FUZZ_CHECK(!line.isEmpty());
        FUZZ_CHECK(!line.contains(u'\n') && !line.contains(u'\r'));
    }
    const auto field = TextFile::firstFieldIfAny(text);
    const bool blank = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
    });
    FUZZ_CHECK(!(field && blank));
    return 0;
}

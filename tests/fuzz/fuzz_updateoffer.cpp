// The download server's version file.
#include "Check.h"

#include "catalogue/TextFile.h"
#include "net/UpdateOffer.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = TextFile::decode(fuzzBytes(data, size));
    const QString digest = UpdateOffer::digest(text);
    FUZZ_CHECK(digest.isEmpty() || digest.size() == 64);
    FUZZ_CHECK(std::all_of(digest.begin(), digest.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
    }));
    FUZZ_CHECK(digest.isEmpty() || text.contains(digest, Qt::CaseInsensitive));
    TextFile::firstFieldIfAny(text);
    return 0;
}

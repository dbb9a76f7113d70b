// A Content-Range header.
#include "Check.h"

#include "net/ContentRange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto range = ContentRange::parse(fuzzBytes(data, size));
    if (range && range->isConsistent())
        FUZZ_CHECK(range->first >= 0 && range->first <= range->last && range->last < range->total);
    return 0;
}

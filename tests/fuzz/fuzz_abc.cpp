// The ActionScript 3 bytecode inside a program.
#include "Check.h"

#include "swf/AbcReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto classes = Abc::readClasses(fuzzBytes(data, size)))
        // Each class costs input bytes: a count alone allocates nothing.
        FUZZ_CHECK(std::size_t(classes->size()) <= size);
    return 0;
}

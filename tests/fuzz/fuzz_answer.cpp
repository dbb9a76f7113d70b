// The head of an answer on a pipelined connection.
#include "Check.h"

#include "net/AnswerHead.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text = fuzzBytes(data, size);
    const auto answer = AnswerHead::read(text);
    if (!answer)
        return 0;
    FUZZ_CHECK(answer->head.status >= 100 && answer->head.status <= 999);
    FUZZ_CHECK(answer->length >= -1);
    if (answer->length < 0 || answer->head.status == 204 || answer->head.status == 304)
        return 0;
    // A body read by its length: one length, plain digits, and no transfer
    // coding that a server could read otherwise.
    FUZZ_CHECK(!answer->head.has("Transfer-Encoding") && answer->head.has("Content-Length"));
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    for (const auto& [name, value] : answer->head.headers)
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            for (QByteArray n : value.split(',')) {
                n = n.trimmed();
                FUZZ_CHECK(std::all_of(n.begin(), n.end(), digit) &&
                           n.toLongLong() == answer->length);
            }
    return 0;
}

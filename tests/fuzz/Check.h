#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken promise of a parser ends the run, so that the fuzzer keeps the
// input and the replay fails.
#define FUZZ_CHECK(c)                                                                              \
    (c) ? void() : (std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c), std::abort())

inline QByteArray fuzzBytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

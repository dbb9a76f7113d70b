#pragma once

#include <QByteArray>
#include <optional>

// A Content-Range answer, "bytes first-last/total".
struct ContentRange {
    qint64 first = 0;
    qint64 last = 0;
    qint64 total = 0;

    // Nothing when the text cannot be read: no "-" or "/", or a part that
    // is not a number (an unknown total "*" among them).
    static std::optional<ContentRange> parse(const QByteArray& header);
    // Whether the numbers describe a real part of a file: none negative,
    // first <= last < total.
    bool isConsistent() const;
};

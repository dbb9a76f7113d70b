#include "ContentRange.h"

namespace {

std::optional<qint64> number(const QByteArray& text) {
    const QByteArray t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qint64 value = t.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<ContentRange> ContentRange::parse(const QByteArray& header) {
    const QByteArray text = header.trimmed();
    const int dash = text.indexOf('-');
    if (dash < 0)
        return std::nullopt;
    const QByteArray rest = text.mid(dash + 1);
    const int slash = rest.indexOf('/');
    if (slash < 0)
        return std::nullopt;
    QByteArray head = text.left(dash).trimmed();
    if (head.startsWith("bytes"))
        head = head.mid(5);
    const auto first = number(head);
    const auto last = number(rest.left(slash));
    const auto total = number(rest.mid(slash + 1));
    if (!first || !last || !total)
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}

bool ContentRange::isConsistent() const {
    return first >= 0 && first <= last && last < total;
}

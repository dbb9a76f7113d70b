#include "AnswerHead.h"

#include <algorithm>

namespace {

// A length of decimal digits only: no sign, no blanks, no overflow.
qint64 decimalLength(const QByteArray& text) {
    if (text.isEmpty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return text.toLongLong();
}

} // namespace

QByteArray HttpHead::header(const QByteArray& name) const {
    for (const auto& h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return {};
}

bool HttpHead::has(const QByteArray& name) const {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) {
        return h.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

std::optional<AnswerHead> AnswerHead::read(const QByteArray& text) {
    AnswerHead answer;
    const QList<QByteArray> lines = text.split('\n');
    const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
    if (status.size() < 2 || !status.at(0).startsWith("HTTP/1."))
        return std::nullopt;
    bool ok = false;
    answer.head.status = status.at(1).toInt(&ok);
    if (!ok || answer.head.status < 100 || answer.head.status > 999)
        return std::nullopt;
    QList<QByteArray> lengths;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return std::nullopt;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        answer.head.headers.append({name, value});
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
            for (const QByteArray& part : value.split(','))
                lengths.append(part.trimmed());
    }
    const QByteArray connection = answer.head.header("Connection").toLower();
    answer.closesAfter = connection.contains("close") ||
                         (status.at(0) == "HTTP/1.0" && !connection.contains("keep-alive"));
    // Only an answer whose end is known can be told from the next one: one
    // Content-Length (repeated only with the same value), and no
    // Transfer-Encoding header at all, not even an empty one, since a
    // server or proxy may read a later one as chunked.
    if (answer.head.status == 204 || answer.head.status == 304)
        answer.length = 0;
    else if (!lengths.isEmpty() && lengths.count(lengths.first()) == lengths.size() &&
             !answer.head.has("Transfer-Encoding"))
        answer.length = decimalLength(lengths.first());
    return answer;
}

#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <optional>

// The status line and headers of an HTTP answer.
struct HttpHead {
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    int status = 0;
    Headers headers;
    // The first header of that name, ignoring case; empty if absent.
    QByteArray header(const QByteArray& name) const;
    bool has(const QByteArray& name) const;
};

// The head of one answer on a connection where answers follow each other
// with nothing between them, read from the text before its blank line.
struct AnswerHead {
    HttpHead head;
    // Of the body; -1 when where it ends cannot be known for certain.
    qint64 length = -1;
    // The server ends the connection after this answer.
    bool closesAfter = false;

    // Nothing when the text is no HTTP/1.x answer head at all.
    static std::optional<AnswerHead> read(const QByteArray& text);
};

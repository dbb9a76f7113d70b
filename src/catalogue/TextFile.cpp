#include "TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace TextFile {

namespace {

constexpr const char* kCodec = "GBK";

QString describe(const QFileDevice& f) {
    return f.errorString();
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        if (i > start)
            lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QString decode(const QByteArray& bytes) {
    QStringDecoder decoder(kCodec);
    return decoder.decode(bytes);
}

bool encode(const QString& text, QByteArray* out) {
    QStringEncoder encoder(kCodec);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return false;
    *out = std::move(bytes);
    return true;
}

Lines readLines(const QString& path) {
    Lines result;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        result.error = describe(f);
        return result;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        result.error = describe(f);
        return result;
    }
    result.lines = splitLines(decode(bytes));
    result.ok = true;
    return result;
}

namespace {

bool encodeLines(const QStringList& lines, QByteArray* out, QString* error) {
    QByteArray bytes;
    for (const QString& line : lines) {
        QByteArray encoded;
        if (!encode(line, &encoded)) {
            if (error)
                *error = QStringLiteral("“%1”含有无法保存的字符").arg(line);
            return false;
        }
        bytes += encoded;
        bytes += "\r\n";
    }
    *out = std::move(bytes);
    return true;
}

} // namespace

bool rewrite(const QString& path, const QStringList& lines, QString* error) {
    QByteArray bytes;
    if (!encodeLines(lines, &bytes, error))
        return false;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        if (error)
            *error = describe(f);
        return false;
    }
    return true;
}

bool append(const QString& path, const QString& line, QString* error) {
    QByteArray bytes;
    if (!encodeLines({line}, &bytes, error))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append) || f.write(bytes) != bytes.size()) {
        if (error)
            *error = describe(f);
        return false;
    }
    return true;
}

bool truncate(const QString& path, QString* error) {
    // An empty list is written the atomic way too: a crash never leaves a
    // list that is neither the old one nor empty.
    return rewrite(path, {}, error);
}

QString firstField(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text.at(i)))
        ++i;
    if (i == n)
        return {};
    if (text.at(i) == u'"') {
        const qsizetype from = i + 1;
        qsizetype end = from;
        while (end < n && text.at(end) != u'"' && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        return text.mid(from, end - from);
    }
    qsizetype end = i;
    while (end < n && text.at(end) != u',' && text.at(end) != u'\r' && text.at(end) != u'\n')
        ++end;
    return text.mid(i, end - i);
}

std::optional<QString> readFirstField(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    return firstFieldIfAny(decode(bytes));
}

std::optional<QString> firstFieldIfAny(const QString& text) {
    // A text of blanks has no field; a quoted empty field ("") is a field.
    for (QChar c : text)
        if (!isBlank(c))
            return firstField(text);
    return std::nullopt;
}

} // namespace TextFile

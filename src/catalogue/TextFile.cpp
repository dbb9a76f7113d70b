#include "TextFile.h"

#include "base/FileOps.h"

#include <QFile>
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

namespace {

// Bytes that do not decode as GBK (a file edited by another program, a name
// cut in half) are carried as one character each from this private-use
// block, U+F780..U+F7FF for the bytes 0x80..0xFF; GBK maps nothing there.
// Such a line is shown oddly but written back as the bytes it was read from.
constexpr char16_t kRawByteBase = 0xF700;

bool isRawByte(QChar c) {
    return c.unicode() >= kRawByteBase + 0x80 && c.unicode() <= kRawByteBase + 0xFF;
}

// The text of bytes that decode cleanly and encode back to the same bytes.
std::optional<QString> decodeExactly(QByteArrayView bytes) {
    QStringDecoder decoder(kCodec);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    // A lead byte at the very end decodes to nothing and no error; the
    // way back tells.
    QStringEncoder encoder(kCodec);
    const QByteArray back = encoder.encode(text);
    if (encoder.hasError() || QByteArrayView(back) != bytes)
        return std::nullopt;
    return text;
}

QString decodeByteByByte(QByteArrayView bytes) {
    QString text;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = static_cast<uchar>(bytes[i]);
        if (b < 0x80) {
            text += QChar(b);
            ++i;
            continue;
        }
        bool taken = false;
        for (qsizetype length : {2, 1}) {
            if (i + length > bytes.size())
                continue;
            const auto one = decodeExactly(bytes.sliced(i, length));
            if (one && one->size() == 1) {
                text += *one;
                i += length;
                taken = true;
                break;
            }
        }
        if (!taken) {
            text += QChar(kRawByteBase + b);
            ++i;
        }
    }
    return text;
}

} // namespace

QString decode(const QByteArray& bytes) {
    if (auto whole = decodeExactly(bytes))
        return *whole;
    // Line by line, so that one damaged line leaves the others as they are.
    QString text;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QByteArrayView line = QByteArrayView(bytes).sliced(start, end - start);
        const auto exact = decodeExactly(line);
        text += exact ? *exact : decodeByteByByte(line);
        if (end < bytes.size())
            text += QChar(static_cast<uchar>(bytes[end]));
        start = end + 1;
    }
    return text;
}

bool encode(const QString& text, QByteArray* out) {
    QStringEncoder encoder(kCodec);
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isRawByte(text.at(i)))
            continue;
        bytes += encoder.encode(QStringView(text).sliced(start, i - start));
        bytes += static_cast<char>(text.at(i).unicode() - kRawByteBase);
        start = i + 1;
    }
    bytes += encoder.encode(QStringView(text).sliced(start));
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
    return FileOps::writeAtomically(path, bytes, error);
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

#include "swf/SwfWriter.h"

#include <QStringList>
#include <QtGlobal>

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Swf {
namespace {

void appendU16(QByteArray& out, std::uint32_t v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

void appendU32(QByteArray& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void appendString(QByteArray& out, const QString& s) {
    out.append(s.toUtf8());
    out.append('\0');
}

// These writers make test movies and fixtures; a field that does not fit its
// width would give a silently wrong file, which is worse than stopping.
void requireFits(qsizetype value, qsizetype max, const char* what) {
    if (value < 0 || value > max)
        qFatal("SwfWriter: %s %lld does not fit (at most %lld)", what, qint64(value), qint64(max));
}

QByteArray zlibCompress(const QByteArray& data) {
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        qFatal("SwfWriter: zlib compression failed");
    out.resize(qsizetype(size));
    return out;
}

// The .lzma form: 5 property bytes, an 8-byte size, then the data.
QByteArray lzmaAloneCompress(const QByteArray& data) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6))
        qFatal("SwfWriter: no LZMA preset 6");
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&strm, &options) != LZMA_OK)
        qFatal("SwfWriter: cannot start the LZMA encoder");
    QByteArray out(qsizetype(data.size() + data.size() / 2 + 4096), Qt::Uninitialized);
    strm.next_in = reinterpret_cast<const uint8_t*>(data.constData());
    strm.avail_in = size_t(data.size());
    strm.next_out = reinterpret_cast<uint8_t*>(out.data());
    strm.avail_out = size_t(out.size());
    lzma_ret rc;
    while ((rc = lzma_code(&strm, LZMA_FINISH)) == LZMA_OK) {
        if (strm.avail_out == 0) {
            const qsizetype used = out.size();
            out.resize(used * 2);
            strm.next_out = reinterpret_cast<uint8_t*>(out.data() + used);
            strm.avail_out = size_t(out.size() - used);
        }
    }
    if (rc != LZMA_STREAM_END)
        qFatal("SwfWriter: LZMA compression failed (%d)", int(rc));
    out.resize(qsizetype(strm.total_out));
    lzma_end(&strm);
    return out;
}

} // namespace

ActionWriter& ActionWriter::record(std::uint8_t code, const QByteArray& payload) {
    m_bytes.append(char(code));
    if (code >= 0x80) {
        requireFits(payload.size(), 0xFFFF, "action record length");
        appendU16(m_bytes, std::uint32_t(payload.size()));
        m_bytes.append(payload);
    }
    return *this;
}

ActionWriter& ActionWriter::pushString(const QString& s) {
    QByteArray p(1, char(0)); // type: string
    appendString(p, s);
    return record(0x96, p);
}

ActionWriter& ActionWriter::pushInt(std::int32_t v) {
    QByteArray p(1, char(7));
    appendU32(p, std::uint32_t(v));
    return record(0x96, p);
}

ActionWriter& ActionWriter::pushNull() {
    return record(0x96, QByteArray(1, char(2)));
}

ActionWriter& ActionWriter::pushBool(bool v) {
    QByteArray p(1, char(5));
    p.append(char(v ? 1 : 0));
    return record(0x96, p);
}

ActionWriter& ActionWriter::stop() {
    return record(0x07, {});
}
ActionWriter& ActionWriter::play() {
    return record(0x06, {});
}
ActionWriter& ActionWriter::pop() {
    return record(0x17, {});
}
ActionWriter& ActionWriter::getVariable() {
    return record(0x1C, {});
}

ActionWriter& ActionWriter::setVariable() {
    return record(0x1D, {});
}

ActionWriter& ActionWriter::getMember() {
    return record(0x4E, {});
}
ActionWriter& ActionWriter::setMember() {
    return record(0x4F, {});
}
ActionWriter& ActionWriter::callMethod() {
    return record(0x52, {});
}
ActionWriter& ActionWriter::callFunction() {
    return record(0x3D, {});
}
ActionWriter& ActionWriter::returnValue() {
    return record(0x3E, {});
}
ActionWriter& ActionWriter::trace() {
    return record(0x26, {});
}
ActionWriter& ActionWriter::getTime() {
    return record(0x34, {});
}
ActionWriter& ActionWriter::add2() {
    return record(0x47, {});
}
ActionWriter& ActionWriter::deleteMember() {
    return record(0x3A, {});
}
ActionWriter& ActionWriter::typeOf() {
    return record(0x44, {});
}

ActionWriter& ActionWriter::getUrl(const QString& url, const QString& target) {
    QByteArray p;
    appendString(p, url);
    appendString(p, target);
    return record(0x83, p);
}

ActionWriter& ActionWriter::getUrl2(std::uint8_t flags) {
    return record(0x9A, QByteArray(1, char(flags)));
}

ActionWriter& ActionWriter::newObject() {
    return record(0x40, {});
}

ActionWriter& ActionWriter::defineFunction(const QString& name, const QStringList& params,
                                           const QByteArray& body) {
    QByteArray p;
    appendString(p, name);
    requireFits(params.size(), 0xFFFF, "parameter count");
    appendU16(p, std::uint32_t(params.size()));
    for (const QString& param : params)
        appendString(p, param);
    requireFits(body.size(), 0xFFFF, "function body size");
    appendU16(p, std::uint32_t(body.size()));
    record(0x9B, p);
    // The body follows the record rather than being part of it: the
    // record's length covers only up to the code size.
    m_bytes.append(body);
    return *this;
}

QByteArray ActionWriter::finished() const {
    return m_bytes + QByteArray(1, '\0');
}

SwfWriter::SwfWriter(int version, Rect stage, double frameRate)
    : m_version(version), m_stage(stage), m_frameRate(frameRate) {}

void SwfWriter::tag(int code, const QByteArray& body) {
    requireFits(code, 0x3FF, "tag code");
    if (body.size() < 0x3F) {
        appendU16(m_tags, std::uint32_t(code << 6 | int(body.size())));
    } else {
        requireFits(body.size(), std::numeric_limits<std::int32_t>::max(), "tag length");
        appendU16(m_tags, std::uint32_t(code << 6 | 0x3F));
        appendU32(m_tags, std::uint32_t(body.size()));
    }
    m_tags.append(body);
}

void SwfWriter::fileAttributes(std::uint32_t flags) {
    QByteArray body;
    appendU32(body, flags);
    tag(kFileAttributes, body);
}

void SwfWriter::setBackground(Rgb colour) {
    QByteArray body;
    body.append(char(colour.r));
    body.append(char(colour.g));
    body.append(char(colour.b));
    tag(kSetBackgroundColor, body);
}

void SwfWriter::doAction(const ActionWriter& actions) {
    tag(kDoAction, actions.finished());
}

void SwfWriter::showFrame() {
    tag(kShowFrame, {});
    ++m_frames;
}

QByteArray SwfWriter::finish(Compression compression) const {
    requireFits(m_version, 0xFF, "version");
    requireFits(m_frames, 0xFFFF, "frame count");
    const long rate = std::lround(m_frameRate * 256.0);
    requireFits(qsizetype(rate), 0xFFFF, "frame rate (8.8)");

    QByteArray body = encodeRect(m_stage);
    appendU16(body, std::uint32_t(rate));
    appendU16(body, std::uint32_t(m_frames));
    body.append(m_tags);
    appendU16(body, kEnd << 6);

    const qsizetype fileLength = 8 + body.size();
    requireFits(fileLength, std::numeric_limits<std::uint32_t>::max(), "file length");
    QByteArray out;
    out.append(compression == Compression::None   ? 'F'
               : compression == Compression::Zlib ? 'C'
                                                  : 'Z');
    out.append("WS");
    out.append(char(m_version));
    appendU32(out, std::uint32_t(fileLength));

    switch (compression) {
    case Compression::None:
        out.append(body);
        break;
    case Compression::Zlib:
        out.append(zlibCompress(body));
        break;
    case Compression::Lzma: {
        // The file keeps the properties but not the .lzma size field; in its
        // place, before the properties, goes the length of the LZMA data.
        const QByteArray alone = lzmaAloneCompress(body);
        const QByteArray data = alone.mid(13);
        appendU32(out, std::uint32_t(data.size()));
        out.append(alone.left(5));
        out.append(data);
        break;
    }
    }
    return out;
}

void BitWriter::writeUnsigned(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        const std::uint32_t bit = i < 32 ? (value >> i) & 1u : 0u;
        m_current = std::uint8_t(m_current << 1 | bit);
        if (++m_used == 8) {
            m_bytes.append(char(m_current));
            m_current = 0;
            m_used = 0;
        }
    }
}

void BitWriter::writeSigned(std::int32_t value, int bits) {
    writeUnsigned(std::uint32_t(value), bits);
}

int BitWriter::signedBits(std::int32_t value) {
    // A zero-width field reads as 0, so 0 needs no bits at all. Otherwise
    // it is the bits of the magnitude (of ~value for negatives) plus a sign.
    if (value == 0)
        return 0;
    std::uint32_t magnitude = value < 0 ? ~std::uint32_t(value) : std::uint32_t(value);
    int bits = 1;
    while (magnitude != 0) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

QByteArray BitWriter::bytes() {
    if (m_used > 0)
        writeUnsigned(0, 8 - m_used);
    return m_bytes;
}

QByteArray encodeRect(const Rect& r) {
    const int nbits = std::max({BitWriter::signedBits(r.xMin), BitWriter::signedBits(r.xMax),
                                BitWriter::signedBits(r.yMin), BitWriter::signedBits(r.yMax)});
    // The width field has five bits.
    requireFits(nbits, 31, "RECT field width");
    BitWriter w;
    w.writeUnsigned(std::uint32_t(nbits), 5);
    w.writeSigned(r.xMin, nbits);
    w.writeSigned(r.xMax, nbits);
    w.writeSigned(r.yMin, nbits);
    w.writeSigned(r.yMax, nbits);
    return w.bytes();
}

} // namespace Swf

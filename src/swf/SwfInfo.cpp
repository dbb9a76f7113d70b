#include "swf/SwfInfo.h"

#include <QFile>

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

namespace Swf {
namespace {

constexpr int kHeaderSize = 8;
constexpr int kEndTag = 0;
constexpr int kShowFrameTag = 1;
constexpr int kSetBackgroundColorTag = 9;
constexpr int kFileAttributesTag = 69;
constexpr std::uint8_t kActionScript3Flag = 0x08;

// Reading and decoding happen in pieces of this size, so a large program
// costs no more memory than this while its first frame is looked at.
constexpr qsizetype kChunk = 64 * 1024;

// Programs often keep their whole library in the first frame, so getting past
// it can mean decoding many megabytes. Past this much the header is trusted
// and the rest of the first frame is left to the engine.
constexpr quint64 kScanCap = 64ull * 1024 * 1024;

// An LZMA dictionary larger than this is not from any real program; refusing
// it keeps a corrupt header from making liblzma allocate gigabytes.
constexpr std::uint64_t kLzmaMemLimit = 256ull * 1024 * 1024;

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t le16(const unsigned char* p) {
    return std::uint16_t(p[0] | p[1] << 8);
}

// The file's bytes after the 8-byte header, compressed or not.
class RawSource {
public:
    virtual ~RawSource() = default;
    // Up to max bytes; 0 once the file has ended.
    virtual qsizetype read(char* dst, qsizetype max) = 0;
    // False when fewer than n bytes are left.
    virtual bool skip(quint64 n) = 0;
};

class BytesSource final : public RawSource {
public:
    BytesSource(const QByteArray& bytes, qsizetype from) : m_bytes(bytes), m_pos(from) {}
    qsizetype read(char* dst, qsizetype max) override {
        const qsizetype n = std::min(max, m_bytes.size() - m_pos);
        if (n <= 0)
            return 0;
        std::copy_n(m_bytes.constData() + m_pos, n, dst);
        m_pos += n;
        return n;
    }
    bool skip(quint64 n) override {
        if (n > quint64(m_bytes.size() - m_pos))
            return false;
        m_pos += qsizetype(n);
        return true;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos;
};

// Reads a file piece by piece; in a plain file the tags passed over are
// seeked over, never read.
class FileSource final : public RawSource {
public:
    explicit FileSource(QFile& file) : m_file(file) {}
    qsizetype read(char* dst, qsizetype max) override {
        const qint64 n = m_file.read(dst, max);
        return n > 0 ? qsizetype(n) : 0;
    }
    bool skip(quint64 n) override {
        const qint64 pos = m_file.pos();
        const qint64 size = m_file.size();
        if (pos < 0 || size < pos || n > quint64(size - pos))
            return false;
        return m_file.seek(pos + qint64(n));
    }

private:
    QFile& m_file;
};

// The uncompressed movie after the 8-byte header, produced on demand and
// never longer than the header declares.
class Body {
public:
    explicit Body(quint64 limit) : m_remaining(limit) {}
    virtual ~Body() = default;
    Body(const Body&) = delete;
    Body& operator=(const Body&) = delete;

    // Up to max bytes; 0 at the end of the movie or of what could be decoded.
    qsizetype read(char* dst, qsizetype max) {
        const qsizetype wanted = qsizetype(std::min<quint64>(quint64(max), m_remaining));
        if (wanted <= 0)
            return 0;
        const qsizetype n = produce(dst, wanted);
        m_remaining -= quint64(n);
        return n;
    }
    bool skip(quint64 n) {
        if (n > m_remaining)
            return false;
        if (!discard(n))
            return false;
        m_remaining -= n;
        return true;
    }
    // Whether getting through the body costs decoding work (a plain file can
    // be seeked over for free).
    virtual bool decodes() const { return true; }
    // Once everything declared has been read: whether the compressed data
    // ends there too, with its checks passed. A plain file needs nothing
    // more.
    virtual bool endsCleanly() { return true; }

protected:
    virtual qsizetype produce(char* dst, qsizetype max) = 0;
    // Runs the decoder past the declared end, so that it reaches its own end
    // marker and checksum; data beyond the declared length is an error.
    static bool drainsToEnd(Body& body) {
        char extra = 0;
        return body.produce(&extra, 1) == 0;
    }
    // Decoded data has to be decoded to be passed over.
    virtual bool discard(quint64 n) {
        std::array<char, 16 * 1024> scratch;
        while (n > 0) {
            const qsizetype got =
                produce(scratch.data(), qsizetype(std::min<quint64>(n, scratch.size())));
            if (got <= 0)
                return false;
            n -= quint64(got);
        }
        return true;
    }

private:
    quint64 m_remaining;
};

class PlainBody final : public Body {
public:
    PlainBody(RawSource& raw, quint64 limit) : Body(limit), m_raw(raw) {}
    bool decodes() const override { return false; }

protected:
    qsizetype produce(char* dst, qsizetype max) override { return m_raw.read(dst, max); }
    bool discard(quint64 n) override { return m_raw.skip(n); }

private:
    RawSource& m_raw;
};

class ZlibBody final : public Body {
public:
    ZlibBody(RawSource& raw, quint64 limit)
        : Body(limit), m_raw(raw), m_in(kChunk, Qt::Uninitialized) {
        m_ok = inflateInit(&m_z) == Z_OK;
    }
    ~ZlibBody() override {
        if (m_ok)
            inflateEnd(&m_z);
    }

protected:
    qsizetype produce(char* dst, qsizetype max) override {
        if (!m_ok || m_done)
            return 0;
        const uInt room = uInt(std::min<qsizetype>(max, std::numeric_limits<uInt>::max()));
        m_z.next_out = reinterpret_cast<Bytef*>(dst);
        m_z.avail_out = room;
        while (m_z.avail_out == room) {
            if (m_z.avail_in == 0 && !m_rawEnded) {
                const qsizetype n = m_raw.read(m_in.data(), m_in.size());
                if (n > 0) {
                    m_z.next_in = reinterpret_cast<Bytef*>(m_in.data());
                    m_z.avail_in = uInt(n);
                } else {
                    m_rawEnded = true;
                }
            }
            const int rc = inflate(&m_z, Z_NO_FLUSH);
            if (rc == Z_OK)
                continue;
            // Z_BUF_ERROR only asks for more input; with none left the stream
            // was cut short. Otherwise it is the end or corruption.
            if (rc == Z_BUF_ERROR && m_z.avail_in == 0 && !m_rawEnded)
                continue;
            m_done = true;
            m_clean = rc == Z_STREAM_END;
            break;
        }
        return qsizetype(room - m_z.avail_out);
    }

public:
    bool endsCleanly() override { return drainsToEnd(*this) && m_clean; }

private:
    RawSource& m_raw;
    QByteArray m_in;
    z_stream m_z{};
    bool m_ok = false;
    bool m_rawEnded = false;
    bool m_done = false;
    bool m_clean = false;
};

// The file holds the compressed length (ignored: the decoder finds the end
// itself), the five LZMA property bytes and the raw LZMA data. liblzma's
// .lzma decoder takes exactly that once the uncompressed size is put after
// the properties, which is how it is fed here.
class LzmaBody final : public Body {
public:
    LzmaBody(RawSource& raw, quint64 limit)
        : Body(limit), m_raw(raw), m_in(kChunk, Qt::Uninitialized) {
        std::array<char, 9> head{};
        if (!readFully(head.data(), head.size()))
            return;
        if (lzma_alone_decoder(&m_lzma, kLzmaMemLimit) != LZMA_OK)
            return;
        m_ok = true;
        // Properties, then the uncompressed size as a little-endian UI64.
        std::copy_n(head.data() + 4, 5, m_in.data());
        for (int i = 0; i < 8; ++i)
            m_in[5 + i] = char((limit >> (8 * i)) & 0xFF);
        m_lzma.next_in = reinterpret_cast<const uint8_t*>(m_in.constData());
        m_lzma.avail_in = 13;
    }
    ~LzmaBody() override { lzma_end(&m_lzma); }

protected:
    qsizetype produce(char* dst, qsizetype max) override {
        if (!m_ok || m_done)
            return 0;
        const size_t room = size_t(max);
        m_lzma.next_out = reinterpret_cast<uint8_t*>(dst);
        m_lzma.avail_out = room;
        int idle = 0;
        while (m_lzma.avail_out == room) {
            if (m_lzma.avail_in == 0 && !m_rawEnded) {
                const qsizetype n = m_raw.read(m_in.data(), m_in.size());
                if (n > 0) {
                    m_lzma.next_in = reinterpret_cast<const uint8_t*>(m_in.constData());
                    m_lzma.avail_in = size_t(n);
                } else {
                    m_rawEnded = true;
                }
            }
            const size_t inBefore = m_lzma.avail_in;
            const lzma_ret rc = lzma_code(&m_lzma, m_rawEnded ? LZMA_FINISH : LZMA_RUN);
            if (rc != LZMA_OK) { // the end, a corrupt stream or no way on
                m_done = true;
                m_clean = rc == LZMA_STREAM_END;
                break;
            }
            // liblzma reports a stall only on the second call without
            // progress; a truncated stream must not spin here.
            if (m_rawEnded && m_lzma.avail_in == inBefore && m_lzma.avail_out == room &&
                ++idle >= 2) {
                m_done = true;
                break;
            }
        }
        return qsizetype(room - m_lzma.avail_out);
    }

public:
    bool endsCleanly() override { return drainsToEnd(*this) && m_clean; }

private:
    bool readFully(char* dst, qsizetype n) {
        while (n > 0) {
            const qsizetype got = m_raw.read(dst, n);
            if (got <= 0)
                return false;
            dst += got;
            n -= got;
        }
        return true;
    }

    RawSource& m_raw;
    QByteArray m_in;
    lzma_stream m_lzma = LZMA_STREAM_INIT;
    bool m_ok = false;
    bool m_rawEnded = false;
    bool m_done = false;
    bool m_clean = false;
};

struct Header {
    char signature = 0;
    int version = 0;
    std::uint32_t fileLength = 0;
};

std::optional<Header> readHeader(const char* bytes, qsizetype size) {
    if (size < kHeaderSize)
        return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const char sig = bytes[0];
    if ((sig != 'F' && sig != 'C' && sig != 'Z') || bytes[1] != 'W' || bytes[2] != 'S')
        return std::nullopt;
    Header h{sig, p[3], le32(p + 4)};
    // Not even room for the header itself.
    if (h.fileLength < kHeaderSize)
        return std::nullopt;
    return h;
}

std::unique_ptr<Body> makeBody(const Header& h, RawSource& raw) {
    const quint64 limit = h.fileLength - kHeaderSize;
    switch (h.signature) {
    case 'C':
        return std::make_unique<ZlibBody>(raw, limit);
    case 'Z':
        return std::make_unique<LzmaBody>(raw, limit);
    default:
        return std::make_unique<PlainBody>(raw, limit);
    }
}

// Exact-size reads over a Body, buffered so that tag headers do not each
// cost a file read or a decoder call.
class Reader {
public:
    explicit Reader(Body& body) : m_body(body), m_buf(kChunk, Qt::Uninitialized) {}

    bool read(unsigned char* dst, qsizetype n) {
        while (n > 0) {
            if (m_pos == m_end && !refill())
                return false;
            const qsizetype take = std::min(n, m_end - m_pos);
            std::copy_n(m_buf.constData() + m_pos, take, reinterpret_cast<char*>(dst));
            m_pos += take;
            m_offset += quint64(take);
            dst += take;
            n -= take;
        }
        return true;
    }
    bool skip(quint64 n) {
        const qsizetype buffered = qsizetype(std::min<quint64>(n, quint64(m_end - m_pos)));
        m_pos += buffered;
        m_offset += quint64(buffered);
        n -= quint64(buffered);
        if (n == 0)
            return true;
        if (!m_body.skip(n))
            return false;
        m_offset += n;
        return true;
    }
    // Bytes of the body passed so far.
    quint64 offset() const { return m_offset; }

private:
    bool refill() {
        m_pos = 0;
        m_end = m_body.read(m_buf.data(), m_buf.size());
        return m_end > 0;
    }

    Body& m_body;
    QByteArray m_buf;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    quint64 m_offset = 0;
};

// Signed bit fields of a RECT, most significant bit first.
class BitReader {
public:
    BitReader(const unsigned char* data, int size) : m_data(data), m_size(size) {}
    std::uint32_t bits(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n && m_bit / 8 < m_size; ++i, ++m_bit)
            v = (v << 1) | ((m_data[m_bit / 8] >> (7 - m_bit % 8)) & 1u);
        return v;
    }
    int signedBits(int n) {
        if (n == 0)
            return 0;
        const std::uint32_t v = bits(n);
        if (n < 32 && (v & (1u << (n - 1))))
            return int(std::int64_t(v) - (std::int64_t(1) << n));
        return int(std::int32_t(v));
    }

private:
    const unsigned char* m_data;
    int m_size;
    int m_bit = 0;
};

// How far the tags are looked at: the whole first frame, or only the first
// tag (which says whether the movie is ActionScript 3), a few hundred bytes
// decoded at most.
enum class Depth { FirstFrame, FirstTag };

Info scan(const Header& h, Body& body, Depth depth = Depth::FirstFrame) {
    Reader r(body);
    Info info;
    info.signature = h.signature;
    info.version = h.version;
    info.fileLength = h.fileLength;

    // RECT: 5 bits of field width, four fields, padded to a byte; at most
    // 5 + 4 * 31 bits.
    std::array<unsigned char, 17> rect{};
    if (!r.read(rect.data(), 1))
        return {};
    const int nbits = rect[0] >> 3;
    const int rectBytes = (5 + 4 * nbits + 7) / 8;
    if (!r.read(rect.data() + 1, rectBytes - 1))
        return {};
    BitReader bits(rect.data(), rectBytes);
    bits.bits(5);
    info.stage.xMin = bits.signedBits(nbits);
    info.stage.xMax = bits.signedBits(nbits);
    info.stage.yMin = bits.signedBits(nbits);
    info.stage.yMax = bits.signedBits(nbits);

    std::array<unsigned char, 4> rateAndCount{};
    if (!r.read(rateAndCount.data(), 4))
        return {};
    info.frameRate = le16(rateAndCount.data()) / 256.0;
    info.frameCount = le16(rateAndCount.data() + 2);

    // The header is what the engine needs to play the file; tags that are
    // broken further on do not keep it from playing what comes before them.
    info.valid = true;
    for (bool first = true;; first = false) {
        if (body.decodes() && r.offset() > kScanCap)
            break;
        std::array<unsigned char, 4> head{};
        if (!r.read(head.data(), 2))
            break;
        const int code = le16(head.data()) >> 6;
        quint64 length = le16(head.data()) & 0x3F;
        if (length == 0x3F) {
            if (!r.read(head.data(), 4))
                break;
            length = le32(head.data());
        }
        if (code == kEndTag || code == kShowFrameTag)
            break;
        // Both tags of interest fit in their first four bytes.
        std::array<unsigned char, 4> start{};
        const qsizetype kept = code == kFileAttributesTag || code == kSetBackgroundColorTag
                                   ? qsizetype(std::min<quint64>(length, start.size()))
                                   : 0;
        if (!r.read(start.data(), kept))
            break;
        // As the engine reads them: FileAttributes counts only as the file's
        // first tag, and the first background wins.
        if (code == kFileAttributesTag && kept >= 1 && first)
            info.actionScript3 = (start[0] & kActionScript3Flag) != 0;
        else if (code == kSetBackgroundColorTag && kept >= 3 && !info.background)
            info.background = Rgb{start[0], start[1], start[2]};
        if (depth == Depth::FirstTag || !r.skip(length - quint64(kept)))
            break;
    }
    return info;
}

} // namespace

Info parse(const QByteArray& fileBytes) {
    const std::optional<Header> h = readHeader(fileBytes.constData(), fileBytes.size());
    if (!h)
        return {};
    BytesSource raw(fileBytes, kHeaderSize);
    const std::unique_ptr<Body> body = makeBody(*h, raw);
    return scan(*h, *body);
}

namespace {

Info readFile(const QString& path, Depth depth) {
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    std::array<char, kHeaderSize> head{};
    const qint64 got = file.read(head.data(), head.size());
    const std::optional<Header> h = readHeader(head.data(), qsizetype(std::max<qint64>(got, 0)));
    if (!h)
        return {};
    FileSource raw(file);
    const std::unique_ptr<Body> body = makeBody(*h, raw);
    return scan(*h, *body, depth);
}

} // namespace

Info readInfo(const QString& path) {
    return readFile(path, Depth::FirstFrame);
}

Info readHead(const QString& path) {
    return readFile(path, Depth::FirstTag);
}

std::optional<QByteArray> uncompressed(const QByteArray& fileBytes) {
    const std::optional<Header> h = readHeader(fileBytes.constData(), fileBytes.size());
    if (!h || h->fileLength > kMaxPlainLength || !parse(fileBytes).valid)
        return std::nullopt;
    BytesSource raw(fileBytes, kHeaderSize);
    const std::unique_ptr<Body> body = makeBody(*h, raw);

    QByteArray out = fileBytes.left(kHeaderSize);
    out[0] = 'F';
    // The declared length is only a claim: grow as the data really arrives
    // rather than trusting it with one big allocation.
    out.reserve(qsizetype(std::min<quint64>(h->fileLength, 64 * 1024 * 1024)));
    // Never more than the header claims, and that is within the cap.
    for (;;) {
        const qsizetype old = out.size();
        out.resize(old + kChunk);
        const qsizetype n = body->read(out.data() + old, kChunk);
        out.resize(old + n);
        if (n == 0)
            break;
    }
    if (quint64(out.size()) != h->fileLength || !body->endsCleanly())
        return std::nullopt;
    return out;
}

} // namespace Swf

#include "swf/AbcReader.h"

namespace Abc {

namespace {

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}

    bool ok() const { return m_ok; }
    std::uint8_t u8() {
        if (m_pos >= m_bytes.size()) {
            m_ok = false;
            return 0;
        }
        return std::uint8_t(m_bytes[m_pos++]);
    }
    std::uint32_t u30() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const std::uint8_t b = u8();
            value |= std::uint32_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return value;
        }
        m_ok = false; // longer than five bytes
        return 0;
    }
    void skip(qsizetype n) {
        if (n < 0 || n > m_bytes.size() - m_pos)
            m_ok = false;
        else
            m_pos += n;
    }
    QByteArray take(qsizetype n) {
        const qsizetype start = m_pos;
        skip(n);
        return m_ok ? m_bytes.mid(start, n) : QByteArray();
    }
    // A count of entries each at least one byte long: no more than there
    // are bytes left, so that a broken count cannot ask for the impossible.
    std::uint32_t count() {
        const std::uint32_t n = u30();
        if (n > std::uint32_t(m_bytes.size() - m_pos))
            m_ok = false;
        return m_ok ? n : 0;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

struct Multiname {
    std::uint32_t ns = 0, name = 0;
    bool qualified = false;
};

void skipTraits(Reader& r) {
    const std::uint32_t traits = r.count();
    for (std::uint32_t t = 0; t < traits && r.ok(); ++t) {
        r.u30(); // name
        const std::uint8_t kind = r.u8();
        switch (kind & 0x0F) {
        case 0: // slot
        case 6: // const
            r.u30();
            r.u30();
            if (r.u30() != 0)
                r.u8();
            break;
        case 1: // method, getter, setter
        case 2:
        case 3:
        case 4: // class
        case 5: // function
            r.u30();
            r.u30();
            break;
        default:
            r.skip(-1);
        }
        if (kind & 0x40) { // metadata
            const std::uint32_t n = r.count();
            for (std::uint32_t i = 0; i < n && r.ok(); ++i)
                r.u30();
        }
    }
}

} // namespace

std::optional<QList<ClassInfo>> readClasses(const QByteArray& abc) {
    Reader r(abc);
    r.u8();
    r.u8(); // minor version
    r.u8();
    r.u8(); // major version
    // The constant pool: each count includes the implicit entry 0.
    const auto entries = [&r] {
        const std::uint32_t n = r.count();
        return n > 0 ? n - 1 : 0;
    };
    for (std::uint32_t i = entries(); i > 0 && r.ok(); --i)
        r.u30(); // integers
    for (std::uint32_t i = entries(); i > 0 && r.ok(); --i)
        r.u30(); // unsigned integers
    const std::uint32_t doubles = entries();
    r.skip(qsizetype(doubles) * 8);
    QList<QString> strings{QString()};
    for (std::uint32_t i = entries(); i > 0 && r.ok(); --i)
        strings.append(QString::fromUtf8(r.take(r.u30())));
    QList<std::uint32_t> namespaces{0}; // their names
    for (std::uint32_t i = entries(); i > 0 && r.ok(); --i) {
        r.u8();
        namespaces.append(r.u30());
    }
    for (std::uint32_t i = entries(); i > 0 && r.ok(); --i) {
        const std::uint32_t n = r.count();
        for (std::uint32_t k = 0; k < n && r.ok(); ++k)
            r.u30();
    }
    QList<Multiname> multinames{{}};
    for (std::uint32_t i = entries(); i > 0 && r.ok(); --i) {
        Multiname m;
        switch (r.u8()) {
        case 0x07: // QName
        case 0x0D:
            m.ns = r.u30();
            m.name = r.u30();
            m.qualified = true;
            break;
        case 0x0F: // RTQName
        case 0x10:
            r.u30();
            break;
        case 0x11: // RTQNameL
        case 0x12:
            break;
        case 0x09: // Multiname
        case 0x0E:
            r.u30();
            r.u30();
            break;
        case 0x1B: // MultinameL
        case 0x1C:
            r.u30();
            break;
        case 0x1D: { // TypeName
            r.u30();
            const std::uint32_t n = r.count();
            for (std::uint32_t k = 0; k < n && r.ok(); ++k)
                r.u30();
            break;
        }
        default:
            return std::nullopt;
        }
        multinames.append(m);
    }

    const std::uint32_t methods = r.count();
    for (std::uint32_t i = 0; i < methods && r.ok(); ++i) {
        const std::uint32_t params = r.u30();
        r.u30(); // return type
        for (std::uint32_t p = 0; p < params && r.ok(); ++p)
            r.u30();
        r.u30(); // name
        const std::uint8_t flags = r.u8();
        if (flags & 0x08) { // optional parameters
            const std::uint32_t n = r.count();
            for (std::uint32_t k = 0; k < n && r.ok(); ++k) {
                r.u30();
                r.u8();
            }
        }
        if (flags & 0x80) // parameter names
            for (std::uint32_t p = 0; p < params && r.ok(); ++p)
                r.u30();
    }
    const std::uint32_t metadata = r.count();
    for (std::uint32_t i = 0; i < metadata && r.ok(); ++i) {
        r.u30();
        const std::uint32_t items = r.count();
        for (std::uint32_t k = 0; k < items * 2 && r.ok(); ++k)
            r.u30();
    }

    const auto nameOf = [&](std::uint32_t index) -> QString {
        if (index >= std::uint32_t(multinames.size()) || !multinames[index].qualified)
            return {};
        const Multiname& m = multinames[index];
        const QString ns = m.ns < std::uint32_t(namespaces.size()) &&
                                   namespaces[m.ns] < std::uint32_t(strings.size())
                               ? strings[namespaces[m.ns]]
                               : QString();
        const QString name = m.name < std::uint32_t(strings.size()) ? strings[m.name] : QString();
        return ns.isEmpty() ? name : ns + u'.' + name;
    };
    QList<ClassInfo> classes;
    const std::uint32_t count = r.count();
    for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
        ClassInfo c;
        c.name = nameOf(r.u30());
        c.superName = nameOf(r.u30());
        c.flags = r.u8();
        if (c.flags & 0x08)
            r.u30(); // protected namespace
        const std::uint32_t interfaces = r.count();
        for (std::uint32_t k = 0; k < interfaces && r.ok(); ++k)
            r.u30();
        r.u30(); // constructor
        skipTraits(r);
        classes.append(c);
    }
    if (!r.ok())
        return std::nullopt;
    return classes;
}

} // namespace Abc

#include "swf/AbcWriter.h"

#include <algorithm>

namespace Abc {

namespace {

enum Opcode : std::uint8_t {
    kGetLocal0 = 0xD0,
    kGetLocal = 0x62,
    kPushScope = 0x30,
    kPopScope = 0x1D,
    kGetScopeObject = 0x65,
    kReturnVoid = 0x47,
    kReturnValue = 0x48,
    kPop = 0x29,
    kGetLex = 0x60,
    kFindPropStrict = 0x5D,
    kGetProperty = 0x66,
    kSetProperty = 0x61,
    kInitProperty = 0x68,
    kCallProperty = 0x46,
    kCallPropVoid = 0x4F,
    kConstructSuper = 0x49,
    kNewClass = 0x58,
    kPushString = 0x2C,
    kPushShort = 0x25,
    kPushNull = 0x20,
    kAdd = 0xA0,
    kEquals = 0xAB,
    kNot = 0x96,
    kThrow = 0x03,
};

constexpr std::uint8_t kQName = 0x07;
constexpr std::uint8_t kUtf8Constant = 0x01;

void appendU16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8 & 0xFF));
}

void appendTraits(QByteArray& out, const QList<Trait>& traits) {
    appendU30(out, std::uint32_t(traits.size()));
    for (const Trait& t : traits) {
        appendU30(out, std::uint32_t(t.name));
        out.append(char(t.kind));
        switch (t.kind) {
        case Trait::Slot:
            appendU30(out, 0); // slot id: the next free one
            appendU30(out, std::uint32_t(t.index));
            appendU30(out, std::uint32_t(t.value));
            if (t.value != 0)
                out.append(char(kUtf8Constant));
            break;
        case Trait::Method:
            appendU30(out, 0); // dispatch id
            appendU30(out, std::uint32_t(t.index));
            break;
        case Trait::Class:
            appendU30(out, 0);
            appendU30(out, std::uint32_t(t.index));
            break;
        }
    }
}

} // namespace

void appendU30(QByteArray& out, std::uint32_t value) {
    do {
        std::uint8_t byte = value & 0x7F;
        value >>= 7;
        if (value != 0)
            byte |= 0x80;
        out.append(char(byte));
    } while (value != 0);
}

// ---- Code ----

Code& Code::op(std::uint8_t code, int stackChange) {
    m_bytes.append(char(code));
    m_stack = std::max(0, m_stack + stackChange);
    m_maxStack = std::max(m_maxStack, m_stack);
    return *this;
}

Code& Code::opU30(std::uint8_t code, std::uint32_t operand, int stackChange) {
    op(code, stackChange);
    appendU30(m_bytes, operand);
    return *this;
}

Code& Code::getLocal(int index) {
    if (index <= 3)
        return op(std::uint8_t(kGetLocal0 + index), 1);
    return opU30(kGetLocal, std::uint32_t(index), 1);
}

Code& Code::pushScope() {
    op(kPushScope, -1);
    m_maxScope = std::max(m_maxScope, ++m_scope);
    return *this;
}

Code& Code::popScope() {
    --m_scope;
    return op(kPopScope, 0);
}

Code& Code::getScopeObject(int index) {
    op(kGetScopeObject, 1);
    m_bytes.append(char(index));
    return *this;
}

Code& Code::returnVoid() {
    return op(kReturnVoid, 0);
}

Code& Code::returnValue() {
    return op(kReturnValue, -1);
}

Code& Code::pop() {
    return op(kPop, -1);
}

Code& Code::getLex(int multiname) {
    return opU30(kGetLex, std::uint32_t(multiname), 1);
}

Code& Code::findPropStrict(int multiname) {
    return opU30(kFindPropStrict, std::uint32_t(multiname), 1);
}

Code& Code::getProperty(int multiname) {
    return opU30(kGetProperty, std::uint32_t(multiname), 0);
}

Code& Code::setProperty(int multiname) {
    return opU30(kSetProperty, std::uint32_t(multiname), -2);
}

Code& Code::initProperty(int multiname) {
    return opU30(kInitProperty, std::uint32_t(multiname), -2);
}

Code& Code::callProperty(int multiname, int args) {
    opU30(kCallProperty, std::uint32_t(multiname), -args);
    appendU30(m_bytes, std::uint32_t(args));
    return *this;
}

Code& Code::callPropVoid(int multiname, int args) {
    opU30(kCallPropVoid, std::uint32_t(multiname), -(args + 1));
    appendU30(m_bytes, std::uint32_t(args));
    return *this;
}

Code& Code::constructSuper(int args) {
    return opU30(kConstructSuper, std::uint32_t(args), -(args + 1));
}

Code& Code::newClass(int classIndex) {
    return opU30(kNewClass, std::uint32_t(classIndex), 0);
}

Code& Code::pushString(int string) {
    return opU30(kPushString, std::uint32_t(string), 1);
}

Code& Code::pushShort(int value) {
    return opU30(kPushShort, std::uint32_t(value), 1);
}

Code& Code::pushNull() {
    return op(kPushNull, 1);
}

Code& Code::add() {
    return op(kAdd, -1);
}

Code& Code::equals() {
    return op(kEquals, -1);
}

Code& Code::notOp() {
    return op(kNot, 0);
}

Code& Code::throwValue() {
    return op(kThrow, -1);
}

// ---- Writer ----

Writer::Writer() = default;

int Writer::string(const QString& text) {
    if (const auto it = m_stringIndex.constFind(text); it != m_stringIndex.constEnd())
        return *it;
    m_strings.append(text);
    // Entry 0 of every pool is implicit.
    return m_stringIndex[text] = int(m_strings.size());
}

int Writer::ns(NamespaceKind kind, const QString& name) {
    QByteArray encoded(1, char(kind));
    appendU30(encoded, std::uint32_t(string(name)));
    // Each private namespace is a namespace of its own, even with one name.
    if (kind != kPrivateNs)
        if (const auto it = m_nsIndex.constFind(encoded); it != m_nsIndex.constEnd())
            return *it;
    m_namespaces.append(encoded);
    return m_nsIndex[encoded] = int(m_namespaces.size());
}

int Writer::multiname(const QByteArray& key, const QByteArray& encoded) {
    if (const auto it = m_mnIndex.constFind(key); it != m_mnIndex.constEnd())
        return *it;
    m_multinames.append(encoded);
    return m_mnIndex[key] = int(m_multinames.size());
}

int Writer::qname(int ns, const QString& name) {
    QByteArray encoded(1, char(kQName));
    appendU30(encoded, std::uint32_t(ns));
    appendU30(encoded, std::uint32_t(string(name)));
    return multiname(encoded, encoded);
}

int Writer::publicName(const QString& name, const QString& package) {
    return qname(ns(kPackageNamespace, package), name);
}

int Writer::method(int params, const Code& code, int localCount) {
    m_methodParams.append(params);
    const int index = int(m_methodParams.size()) - 1;
    m_bodies.append({index, code.bytes(), code.maxStack(), localCount, code.maxScope()});
    return index;
}

int Writer::addClass(int name, int superName, std::uint8_t flags, int constructor,
                     const QList<Trait>& traits) {
    Code staticInit;
    staticInit.getLocal(0).pushScope().returnVoid();
    m_instances.append({name, superName, flags, constructor, traits, method(0, staticInit, 1)});
    return int(m_instances.size()) - 1;
}

void Writer::addScript(int init, const QList<Trait>& traits) {
    m_scripts.append({init, traits});
}

QByteArray Writer::finish() const {
    QByteArray out;
    appendU16(out, 16); // minor version
    appendU16(out, 46); // major version
    appendU30(out, 0);  // integers
    appendU30(out, 0);  // unsigned integers
    appendU30(out, 0);  // doubles
    appendU30(out, std::uint32_t(m_strings.size() + 1));
    for (const QString& s : m_strings) {
        const QByteArray utf8 = s.toUtf8();
        appendU30(out, std::uint32_t(utf8.size()));
        out.append(utf8);
    }
    appendU30(out, std::uint32_t(m_namespaces.size() + 1));
    for (const QByteArray& n : m_namespaces)
        out.append(n);
    appendU30(out, 0); // namespace sets
    appendU30(out, std::uint32_t(m_multinames.size() + 1));
    for (const QByteArray& m : m_multinames)
        out.append(m);

    appendU30(out, std::uint32_t(m_methodParams.size()));
    for (int params : m_methodParams) {
        appendU30(out, std::uint32_t(params));
        appendU30(out, 0); // returns anything
        for (int i = 0; i < params; ++i)
            appendU30(out, 0); // untyped
        appendU30(out, 0);     // no name
        out.append(char(0));   // no flags
    }
    appendU30(out, 0); // metadata

    appendU30(out, std::uint32_t(m_instances.size()));
    for (const Instance& i : m_instances) {
        appendU30(out, std::uint32_t(i.name));
        appendU30(out, std::uint32_t(i.superName));
        out.append(char(i.flags & ~kClassProtectedNs));
        appendU30(out, 0); // interfaces
        appendU30(out, std::uint32_t(i.constructor));
        appendTraits(out, i.traits);
    }
    for (const Instance& i : m_instances) {
        appendU30(out, std::uint32_t(i.staticInit));
        appendTraits(out, {});
    }
    appendU30(out, std::uint32_t(m_scripts.size()));
    for (const auto& [init, traits] : m_scripts) {
        appendU30(out, std::uint32_t(init));
        appendTraits(out, traits);
    }
    appendU30(out, std::uint32_t(m_bodies.size()));
    for (const Body& b : m_bodies) {
        appendU30(out, std::uint32_t(b.method));
        appendU30(out, std::uint32_t(std::max(b.maxStack, 1)));
        appendU30(out, std::uint32_t(b.localCount));
        appendU30(out, 0); // initial scope depth
        appendU30(out, std::uint32_t(std::max(b.maxScope, 1)));
        appendU30(out, std::uint32_t(b.code.size()));
        out.append(b.code);
        appendU30(out, 0); // exceptions
        appendU30(out, 0); // traits
    }
    return out;
}

} // namespace Abc

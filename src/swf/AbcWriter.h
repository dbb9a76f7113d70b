#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>

// Writes ActionScript 3 bytecode (an ABC file, the body of a DoABC tag): the
// constant pool, method signatures and bodies, and instance, class and
// script entries. It covers what the player needs to write (a class that
// extends a program's document class, and the test programs' classes), not
// the whole format.
namespace Abc {

// Namespace kinds.
enum NamespaceKind : std::uint8_t {
    kPrivateNs = 0x05,
    kPackageNamespace = 0x16,
    kPackageInternalNs = 0x17,
};

// Instance flags.
enum InstanceFlag : std::uint8_t {
    kClassSealed = 0x01,
    kClassFinal = 0x02,
    kClassInterface = 0x04,
    kClassProtectedNs = 0x08,
};

// Variable-length integers of the format.
void appendU30(QByteArray& out, std::uint32_t value);

// A method's bytecode, with the stack and scope depths it needs.
class Code {
public:
    Code& getLocal(int index);
    Code& pushScope();
    Code& popScope();
    Code& getScopeObject(int index);
    Code& returnVoid();
    Code& returnValue();
    Code& pop();
    Code& getLex(int multiname);
    Code& findPropStrict(int multiname);
    Code& getProperty(int multiname);
    Code& setProperty(int multiname);
    Code& initProperty(int multiname);
    Code& callProperty(int multiname, int args);
    Code& callPropVoid(int multiname, int args);
    Code& constructSuper(int args);
    Code& newClass(int classIndex);
    Code& pushString(int string);
    Code& pushShort(int value);
    Code& pushNull();
    Code& add();
    Code& equals();
    Code& notOp();
    Code& throwValue();

    const QByteArray& bytes() const { return m_bytes; }
    int maxStack() const { return m_maxStack; }
    int maxScope() const { return m_maxScope; }

private:
    Code& op(std::uint8_t code, int stackChange);
    Code& opU30(std::uint8_t code, std::uint32_t operand, int stackChange);
    QByteArray m_bytes;
    int m_stack = 0, m_maxStack = 0, m_scope = 0, m_maxScope = 0;
};

// A trait of an instance, a class or a script.
struct Trait {
    enum Kind : std::uint8_t { Slot = 0, Method = 1, Class = 4 };
    int name = 0; // a QName
    Kind kind = Slot;
    int index = 0; // Method: the method; Class: the class; Slot: its type name
    int value = 0; // Slot: a string constant as its first value (0: none)
};

class Writer {
public:
    Writer();

    // Constant pool entries; each is made once and its index given again.
    int string(const QString& text);
    int ns(NamespaceKind kind, const QString& name);
    int qname(int ns, const QString& name);
    // A public name: package "" (or the given package).
    int publicName(const QString& name, const QString& package = QString());

    // A method signature (untyped parameters, any result) and its body.
    int method(int params, const Code& code, int localCount);

    // A class: its name and its base (QNames), flags, constructor and
    // instance traits; its static part is empty. Returns the class index.
    int addClass(int name, int superName, std::uint8_t flags, int constructor,
                 const QList<Trait>& traits);
    // A script: its initialiser and the classes it defines (as traits).
    void addScript(int init, const QList<Trait>& traits);

    QByteArray finish() const;

private:
    struct Body {
        int method;
        QByteArray code;
        int maxStack, localCount, maxScope;
    };
    struct Instance {
        int name, superName;
        std::uint8_t flags;
        int constructor;
        QList<Trait> traits;
        int staticInit;
    };

    int multiname(const QByteArray& key, const QByteArray& encoded);

    QList<QString> m_strings;
    QHash<QString, int> m_stringIndex;
    QList<QByteArray> m_namespaces; // encoded entries
    QHash<QByteArray, int> m_nsIndex;
    QList<QByteArray> m_multinames;
    QHash<QByteArray, int> m_mnIndex;
    QList<int> m_methodParams;
    QList<Body> m_bodies;
    QList<Instance> m_instances;
    QList<QPair<int, QList<Trait>>> m_scripts;
};

} // namespace Abc

#pragma once

#include "swf/SwfInfo.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace Swf {

// Tag codes used here.
enum TagCode : int {
    kEnd = 0,
    kShowFrame = 1,
    kDefineShape = 2,
    kSetBackgroundColor = 9,
    kDoAction = 12,
    kPlaceObject2 = 26,
    kRemoveObject2 = 28,
    kFileAttributes = 69,
    kDoAbcOld = 72,
    kSymbolClass = 76,
    kDoAbc = 82,
};

// FileAttributes flags.
enum FileAttribute : std::uint32_t {
    kUseNetwork = 0x01,
    kActionScript3 = 0x08,
};

// Builds AVM1 action records (the body of a DoAction tag or of a function).
class ActionWriter {
public:
    // Push (0x96), one value per call.
    ActionWriter& pushString(const QString& s); // UTF-8, null-terminated
    ActionWriter& pushInt(std::int32_t v);      // type 7 (integer)
    ActionWriter& pushNull();
    ActionWriter& pushBool(bool v);
    ActionWriter& stop();         // 0x07
    ActionWriter& play();         // 0x06
    ActionWriter& pop();          // 0x17
    ActionWriter& getVariable();  // 0x1C
    ActionWriter& setVariable();  // 0x1D: name, value
    ActionWriter& getMember();    // 0x4E
    ActionWriter& setMember();    // 0x4F: object, name, value
    ActionWriter& callMethod();   // 0x52
    ActionWriter& callFunction(); // 0x3D
    ActionWriter& returnValue();  // 0x3E
    ActionWriter& trace();        // 0x26
    ActionWriter& deleteMember(); // 0x3A: object, name -> whether it went
    ActionWriter& typeOf();       // 0x44
    ActionWriter& getTime();      // 0x34: milliseconds since the movie started
    ActionWriter& add2();         // 0x47
    // GetURL (0x83): loadMovieNum(url, n) is getUrl(url, "_leveln").
    ActionWriter& getUrl(const QString& url, const QString& target);
    // 0x9A: url, target from the stack; loads a movie into a level or clip
    // (flags 0), or with kLoadVariables variables into a clip; kPost sends
    // the timeline's variables as a form.
    enum GetUrl2Flag : std::uint8_t { kPost = 0x02, kTargetIsClip = 0x40, kLoadVariables = 0x80 };
    ActionWriter& getUrl2(std::uint8_t flags = 0);
    ActionWriter& newObject(); // 0x40: name, argument count, arguments -> object
    // DefineFunction (0x9B): pushes an anonymous function (empty name) or
    // defines a named one; body is a finished action list (no End).
    ActionWriter& defineFunction(const QString& name, const QStringList& params,
                                 const QByteArray& body);

    // The records written so far, without the closing End action.
    const QByteArray& body() const { return m_bytes; }
    // The records and the closing 0x00, ready for a DoAction tag.
    QByteArray finished() const;

private:
    ActionWriter& record(std::uint8_t code, const QByteArray& payload);
    QByteArray m_bytes;
};

// Builds a whole movie, tag by tag.
class SwfWriter {
public:
    enum class Compression { None, Zlib, Lzma }; // FWS, CWS, ZWS

    SwfWriter(int version, Rect stage, double frameRate);

    void tag(int code, const QByteArray& body); // short or long form as needed
    void fileAttributes(std::uint32_t flags);
    void setBackground(Rgb colour);
    void doAction(const ActionWriter& actions);
    void showFrame(); // counts frames

    int frames() const { return m_frames; }
    // Appends End and gives the file; the header's frame count is the
    // number of showFrame() calls.
    QByteArray finish(Compression compression = Compression::None) const;

private:
    int m_version;
    Rect m_stage;
    double m_frameRate;
    int m_frames = 0;
    QByteArray m_tags;
};

// Bit-packed fields (RECT, MATRIX, shape records), most significant first.
class BitWriter {
public:
    void writeUnsigned(std::uint32_t value, int bits);
    void writeSigned(std::int32_t value, int bits);
    // Bits needed to hold the value as a signed field.
    static int signedBits(std::int32_t value);
    // Pads to the next byte and gives the bytes.
    QByteArray bytes();

private:
    QByteArray m_bytes;
    std::uint8_t m_current = 0;
    int m_used = 0;
};

QByteArray encodeRect(const Rect& r);

} // namespace Swf

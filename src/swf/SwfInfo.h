#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// What the program needs to know of a .swf file before the engine has seen
// it: its frame count (the position bar's range), its stage and frame rate
// and background (for the host movie), and whether it is ActionScript 3.
namespace Swf {

// The largest movie, in plain form, that the player takes: far above any
// real children's program, and a bound on the memory one costs. A header
// that claims more is refused before anything is decompressed.
constexpr std::uint32_t kMaxPlainLength = 256u * 1024 * 1024;

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The stage rectangle, in twips.
struct Rect {
    int xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    int width() const { return xMax - xMin; }
    int height() const { return yMax - yMin; }
    bool operator==(const Rect& o) const {
        return xMin == o.xMin && xMax == o.xMax && yMin == o.yMin && yMax == o.yMax;
    }
};

struct Info {
    bool valid = false; // a readable header; everything below is meaningful only then
    char signature = 0; // 'F' (plain), 'C' (zlib) or 'Z' (LZMA)
    int version = 0;
    std::uint32_t fileLength = 0; // as the header declares it (uncompressed)
    Rect stage;
    double frameRate = 0; // frames per second (8.8 fixed point in the file)
    int frameCount = 0;
    bool actionScript3 = false;    // FileAttributes says ActionScript 3
    std::optional<Rgb> background; // SetBackgroundColor before the first frame ends

    // Its header claims more than the player takes.
    bool tooLarge() const { return valid && fileLength > kMaxPlainLength; }
};

// Reads the header and the tags of the first frame. A file that is missing,
// empty, not a SWF, truncated or corrupt gives an invalid Info (frameCount
// 0) and never a crash. Only as much as needed is decompressed.
Info readInfo(const QString& path);
// The header and the first tag only: the frame count, the stage and whether
// the movie is ActionScript 3, for the cost of a few hundred bytes however
// the rest of the file looks (no background).
Info readHead(const QString& path);
Info parse(const QByteArray& fileBytes);

// The whole movie in plain form: "FWS", the version, the length, then the
// uncompressed body. Nothing when the bytes are not a complete SWF, or when
// the header claims more than kMaxPlainLength.
std::optional<QByteArray> uncompressed(const QByteArray& fileBytes);

} // namespace Swf

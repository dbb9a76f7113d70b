// flash/: the Flash engine — this seam, the Ruffle adapter, the SWF reader and writer,
// the host movie, and the page they drive (resources/player).

#pragma once

#include <QString>

class QWidget;

// What the window asks of the Flash player. Movie "http://" means that no
// program is loaded.
class FlashPlayer {
public:
    static inline const QString kNoProgram = QStringLiteral("http://");

    virtual ~FlashPlayer() = default;

    virtual QString movie() const = 0;
    // A file path loads and starts that program; kNoProgram unloads it.
    virtual void setMovie(const QString& movie) = 0;
    virtual void play() = 0;
    virtual void stopPlay() = 0;
    virtual void gotoFrame(int frame) = 0;
    virtual int frameNum() const = 0;
    virtual int totalFrames() const = 0;
    virtual bool playing() const = 0;
    // Whether the program's frame is known and set exactly: false for an
    // ActionScript 3 program that plays as it is, its position counted by
    // time.
    virtual bool hasExactFrames() const = 0;
    virtual void setMuted(bool muted) = 0;
    // Whether a right click opens the engine's own menu (on at first).
    virtual void setContextMenuEnabled(bool) {}

    // The widget to place in the window.
    virtual QWidget* widget() = 0;
};

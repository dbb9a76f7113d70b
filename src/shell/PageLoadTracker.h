#pragma once

#include <QUrl>

// Tells a page that really failed from a load the user has already moved
// on from. Each navigation replaces the one before; the engine may still
// report the one it abandoned (as aborted, or late), and only a failure of
// the latest navigation is a failed page.
class PageLoadTracker {
public:
    // The engine's number for a load that was cut short on purpose, by a
    // newer navigation or a stop.
    static constexpr int kAborted = -3;

    // A new navigation was asked for.
    void requested(const QUrl& url);
    // The engine started loading url.
    void started(const QUrl& url);
    // The engine ended a load without a page: true when that was the latest
    // navigation's own failure. errorCode is the engine's code (negative
    // for network errors, the HTTP status for error pages).
    bool failed(const QUrl& url, int errorCode);
    // The engine ended a load with a page, or stopped it.
    void ended();

private:
    QUrl m_requested;
    // The latest navigation has started and not ended; its failure may come
    // from another address after a redirect.
    bool m_latestRunning = false;
};

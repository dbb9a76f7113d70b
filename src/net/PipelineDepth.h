#pragma once

#include <QtGlobal>
#include <deque>
#include <utility>

// How many range requests a pipelined download keeps waiting at once: enough
// to fill the link's bandwidth-delay product, measured as the download goes,
// twice over and bounded. While the depth itself is what limits the rate,
// the measured product grows with it, so the depth doubles each round trip
// until the link is full.
class PipelineDepth {
public:
    static constexpr int kMin = 4;
    static constexpr int kMax = 64;
    static constexpr int kStart = 8;

    explicit PipelineDepth(qint64 requestBytes) : m_requestBytes(requestBytes) {}

    // A request's round trip: sent with nothing ahead of it, to its answer's
    // head. The smallest seen counts.
    void roundTrip(qint64 ns);
    // An answer of so many bytes completed at this time (a monotonic clock).
    void answered(qint64 atNs, qint64 bytes);
    int depth() const { return m_depth; }

private:
    qint64 m_requestBytes;
    qint64 m_roundTripNs = -1;
    std::deque<std::pair<qint64, qint64>> m_recent; // (time, bytes), oldest first
    int m_depth = kStart;
};

#include "PipelineDepth.h"

#include <algorithm>
#include <cmath>

void PipelineDepth::roundTrip(qint64 ns) {
    if (ns > 0 && (m_roundTripNs < 0 || ns < m_roundTripNs))
        m_roundTripNs = ns;
}

void PipelineDepth::answered(qint64 atNs, qint64 bytes) {
    m_recent.emplace_back(atNs, bytes);
    // The rate over the last depth answers: about one round trip's worth
    // while the depth is what limits it.
    while (m_recent.size() > size_t(m_depth) + 1)
        m_recent.pop_front();
    if (m_roundTripNs < 0 || m_recent.size() < size_t(m_depth) + 1)
        return;
    const qint64 span = m_recent.back().first - m_recent.front().first;
    if (span <= 0)
        return;
    qint64 delivered = 0;
    for (auto it = std::next(m_recent.begin()); it != m_recent.end(); ++it)
        delivered += it->second;
    const double bytesInFlight = double(delivered) / double(span) * double(m_roundTripNs);
    const double wanted = std::ceil(2 * bytesInFlight / double(m_requestBytes)) + 2;
    m_depth = int(std::clamp(wanted, double(kMin), double(kMax)));
}

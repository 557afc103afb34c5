#include <quorvalin/BenchDownload.h>

#include <algorithm>

namespace varno::quorvalin {

void BenchDownload::begin(uint64_t already, int32_t readahead)
{
    const BenchAttempt attempt = m_countAttempt();
    const sim::Faults& f = attempt.faults;
    m_bytes.erase(m_bytes.begin(), m_bytes.begin() + long(already));
    m_already = already;
    m_failAt = f.failAt >= 0 && int(attempt.number) <= f.failAttempts ? f.failAt : -1;
    m_stallAt = f.stallAt >= 0 && int(attempt.number) <= f.stallAttempts ? f.stallAt : -1;
    m_deliver = f.shortBy > 0 ? uint64_t(std::max<int64_t>(0, int64_t(m_bytes.size()) - f.shortBy)) : m_bytes.size();
    m_lineSpeed = f.lineSpeed;
    m_dropAfterBytes = f.dropAfterBytes >= 0 ? f.dropAfterBytes - attempt.bytesThisConnection : -1;
    m_chunk = f.chunk > 0 ? size_t(f.chunk) : (readahead > 0 ? size_t(readahead) * 256 : 1024);
    m_pollPaced = f.pollPaced;
    m_dir = attempt.dir;
    m_generation = attempt.generation;
    m_hangups = attempt.hangupsAtConnect;
}

DownloadSource::Step BenchDownload::next(const uint8_t*& data, size_t& size, DownloadWatch& watch)
{
    for (;;) {
        if (watch.cancelled())
            return Step::Cancelled;
        if (m_sent >= m_deliver)
            return m_deliver < m_bytes.size() ? Step::Short : Step::End;
        size_t n = size_t(std::min<uint64_t>(m_chunk, m_deliver - m_sent));
        const uint64_t at = m_already + m_sent;
        if (m_failAt >= 0) {
            const uint64_t failByte = uint64_t(m_failAt * double(m_total));
            if (at >= failByte)
                return Step::Failed;
            n = size_t(std::min<uint64_t>(n, failByte - at));
        }
        if (m_stallAt >= 0) {
            // The instrument stops sending but keeps the line: only a cancel ends the wait.
            const uint64_t stallByte = uint64_t(m_stallAt * double(m_total));
            if (at >= stallByte) {
                watch.pause(10);
                continue;
            }
            n = size_t(std::min<uint64_t>(n, stallByte - at));
        }
        if (m_dropAfterBytes >= 0) {
            if (int64_t(m_sent) >= m_dropAfterBytes)
                return Step::Dropped;
            n = size_t(std::min<int64_t>(int64_t(n), m_dropAfterBytes - int64_t(m_sent)));
        }
        // The next block goes out once the caller has looked at the progress.
        if (m_pollPaced && !watch.awaitLook())
            return Step::Cancelled;
        // The line needs its time for these bytes.
        if (m_lineSpeed > 0 && !watch.pause(int64_t(n) * 1000 / m_lineSpeed))
            return Step::Cancelled;
        if (hungUp())
            return Step::Dropped;
        data = m_bytes.data() + m_sent;
        size = n;
        m_sent += n;
        return Step::Block;
    }
}

// Whether the bench hung up the line since the download started; the stored state is read
// again only when it changed.
bool BenchDownload::hungUp()
{
    const uint64_t generation = sim::Instrument::storedGeneration(m_dir);
    if (generation == m_generation)
        return false;
    m_generation = generation;
    sim::Instrument stored;
    return stored.load(m_dir, false) && stored.hangups != m_hangups;
}

} // namespace varno::quorvalin

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <quorvalin/Transport.h>
#include <quorvalin/sim/Instrument.h>

namespace varno::quorvalin {

// What a download from the bench learns of the line as it begins.
struct BenchAttempt {
    sim::Faults faults;
    uint32_t number = 0;             // of this download attempt in the instrument
    int64_t bytesThisConnection = 0; // sent before on this connection
    std::string dir;                 // of the instrument, to notice a hang-up of the bench
    uint64_t generation = 0;         // of its stored state
    uint32_t hangupsAtConnect = 0;
};

// The bytes of a range of a simulated instrument's memory as the instrument sends them:
// its download faults act here.
class BenchDownload final : public DownloadSource {
public:
    // countAttempt counts the download in the instrument as it begins.
    BenchDownload(std::vector<uint8_t> bytes, std::function<BenchAttempt()> countAttempt)
        : m_bytes(std::move(bytes)), m_total(m_bytes.size()), m_countAttempt(std::move(countAttempt)) {}

    uint64_t length() const override { return m_total; }
    void begin(uint64_t already, int32_t readahead) override;
    Step next(const uint8_t*& data, size_t& size, DownloadWatch& watch) override;

private:
    bool hungUp();

    std::vector<uint8_t> m_bytes; // what remains to be sent, once begun
    const uint64_t m_total;       // length asked for
    const std::function<BenchAttempt()> m_countAttempt;
    uint64_t m_already = 0; // bytes the continued file held
    uint64_t m_deliver = 0; // bytes the instrument will actually send
    uint64_t m_sent = 0;
    double m_failAt = -1;
    double m_stallAt = -1;
    int64_t m_lineSpeed = 0;
    int64_t m_dropAfterBytes = -1;
    size_t m_chunk = 1024;
    bool m_pollPaced = false;
    std::string m_dir;
    uint64_t m_generation = 0; // of the stored state last looked at
    uint32_t m_hangups = 0;    // at connect
};

} // namespace varno::quorvalin

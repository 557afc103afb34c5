// Reads arbitrary bytes as a simulated instrument's "instrument.txt", stores it again and
// asks it what a connection asks: status, data logs and live values.

#include <quorvalin/sim/Instrument.h>

#include <testing/FuzzSupport.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using varno::sim::Instrument;
using varno::testing::fuzz::check;

namespace {

Instrument read(const std::string& text)
{
    std::istringstream in(text);
    return Instrument::fromSettingsText(in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Instrument instrument = read(std::string(reinterpret_cast<const char*>(data), size));

    // What is stored reads back to the same state.
    const std::string stored = instrument.settingsText();
    check(read(stored).settingsText() == stored);

    // A PC clock of 2026-03-15 12:00:00.
    const int64_t now = instrument.clock(1773576000);
    instrument.freeMemory();
    instrument.memoryIdentity();
    instrument.listsByTime();
    for (int which = 0; which < 2; ++which)
        instrument.batteryCharge(which, now);
    for (const std::string& password : instrument.passwords)
        instrument.levelFor(password);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < instrument.logs.size(); ++i) {
        const uint32_t length = instrument.logLength(i);
        if (instrument.readRange(instrument.logs[i].start, length, bytes))
            check(bytes.size() == length);
    }
    check(instrument.functionValues(now).size() <= 64);
    check(instrument.functionStatistics(now).size() <= 256);
    return 0;
}

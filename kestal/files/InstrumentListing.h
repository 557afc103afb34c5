#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CQuorvalin;

namespace varno::kestal {

// Reading the list of data logs that an instrument holds.

// One data log as the link lists it.
struct ListedLog {
    uint32_t start = 0;
    uint32_t length = 0;
    uint32_t size = 0;      // bytes
    uint32_t startTime = 0;
    uint32_t stopTime = 0;  // 0: still recording
    std::string text;
};

struct InstrumentListing {
    bool read = false;      // the instrument gave its list
    bool cancelled = false; // the user stopped the reading
    std::string error;      // the link's text when the list could not be read
    std::vector<ListedLog> logs;
};

// Reads the list of data logs (the link's lock is held by the window thread). Blocks while
// the instrument answers, so it runs off the window thread; cancel stops it between two
// entries.
InstrumentListing ReadInstrumentListing(CQuorvalin& link, const std::atomic<bool>& cancel);

// Shows the refresh window while read runs off the window thread; read is handed the flag
// that the window's Cancel raises. Returns when read has ended.
using ListingRead = std::function<void(const std::atomic<bool>& cancel)>;
using RefreshRunner = std::function<void(const ListingRead& read)>;

} // namespace varno::kestal

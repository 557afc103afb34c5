#include <kestal/files/InstrumentListing.h>

#include <quorvalin/Quorvalin.h>

namespace varno::kestal {

InstrumentListing ReadInstrumentListing(CQuorvalin& link, const std::atomic<bool>& cancel)
{
    InstrumentListing listing;
    link.SetBusy(1);
    listing.read = link.ReadFileList();
    while (listing.read && !cancel.load() && link.NextFile()) {
        ListedLog log;
        log.start = link.GetFileStart();
        log.length = link.GetFileLength();
        log.size = link.GetFileSize();
        log.startTime = link.GetFileStartTime();
        log.stopTime = link.GetFileStopTime();
        log.text = link.GetFileText();
        listing.logs.push_back(std::move(log));
    }
    listing.cancelled = cancel.load();
    // A line that dropped while the list came in leaves it incomplete.
    if (listing.read && !link.IsConnected())
        listing.read = false;
    if (!listing.read)
        listing.error = link.GetLastErrorText();
    link.SetBusy(0);
    return listing;
}

} // namespace varno::kestal

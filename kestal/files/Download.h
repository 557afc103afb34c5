#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class CQuorvalin;

namespace varno::kestal {

// One download of a data-log range into a file, polled step by step: the transfer window
// runs the steps from its timer, a program without windows from a plain loop.

struct DownloadRequest {
    QString target;     // file the link writes
    uint32_t start = 0; // range start .. start + length
    uint32_t length = 0;
    int mode = 1;       // 1: a new file (deleted when the download fails); 0: continue the file
    QString caption;    // what the transfer window shows under "Receiving:"
};

// Runs one download and returns the path of the complete file, "" when it failed or was
// cancelled. The link's lock is held by the caller.
using DownloadRunner = std::function<QString(CQuorvalin& link, const DownloadRequest& request)>;

class DownloadSteps {
public:
    enum class Step { NotStarted, Downloading, CancelRequested };

    DownloadSteps(CQuorvalin& link, DownloadRequest request);

    // One poll: starts the download, looks whether it still runs, or cancels it and waits
    // for the link to stop. True while the download goes on. A download that ends below the
    // full fraction, or is cancelled, loses its file (in mode 1 the partly written file is
    // deleted).
    bool Next();
    // The next poll cancels (repeated requests have the effect of one).
    void Cancel();

    Step state() const { return m_state; }
    // The last fraction the link reported (0 .. 1, 1 or more: complete).
    double fraction() const { return m_fraction; }
    // The file written; "" until started and after a failure or cancel.
    QString file() const { return m_file; }
    const DownloadRequest& request() const { return m_request; }

private:
    void dropFile();

    CQuorvalin& m_link;
    DownloadRequest m_request;
    Step m_state = Step::NotStarted;
    double m_fraction = 0;
    bool m_cancelSent = false;
    QString m_file;
};

// The download without a window: polls every pollMs milliseconds until the download ends.
QString RunDownload(CQuorvalin& link, const DownloadRequest& request, int pollMs);

} // namespace varno::kestal

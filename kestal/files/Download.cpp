#include <kestal/files/Download.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <QFile>

#include <algorithm>
#include <chrono>
#include <thread>

namespace varno::kestal {

DownloadSteps::DownloadSteps(CQuorvalin& link, DownloadRequest request)
    : m_link(link)
    , m_request(std::move(request))
{
}

void DownloadSteps::dropFile()
{
    if (m_request.mode != 0 && !m_file.isEmpty())
        QFile::remove(m_file);
    m_file.clear();
}

bool DownloadSteps::Next()
{
    bool going = false;
    switch (m_state) {
    case Step::NotStarted: {
        qtsupport::WaitCursor wait;
        m_link.StartDownload(qtsupport::pathBytes(m_request.target), m_request.mode, m_request.start,
                             m_request.length);
        m_file = qtsupport::pathFromBytes(m_link.GetDownloadFile());
        m_state = Step::Downloading;
        going = true;
        break;
    }
    case Step::Downloading:
        going = m_link.IsDownloading();
        break;
    case Step::CancelRequested:
        if (!m_cancelSent) {
            qtsupport::WaitCursor wait;
            m_link.CancelDownload();
            m_cancelSent = true;
        }
        // The file goes once the link has stopped writing it.
        going = m_link.IsDownloading();
        if (!going)
            dropFile();
        break;
    }
    m_fraction = m_link.GetDownloadProgress();
    // A download that reached the whole range keeps its file, even when it ended just now.
    if (!going && m_fraction < 1.0)
        dropFile();
    return going;
}

void DownloadSteps::Cancel()
{
    m_state = Step::CancelRequested;
}

QString RunDownload(CQuorvalin& link, const DownloadRequest& request, int pollMs)
{
    DownloadSteps steps(link, request);
    while (steps.Next())
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(pollMs, 1)));
    return steps.file();
}

} // namespace varno::kestal

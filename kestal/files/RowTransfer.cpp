// Transfer of instrument rows into the station's data folder: one row under a temporary name,
// identified from its contents, moved to its final name with backup; and the commands that
// transfer the marked or the new rows.
#include <kestal/files/DataFileList.h>

#include <kestal/files/FinalName.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/stations/LinkLock.h>
#include <kestal/files/LocalFiles.h>

#include <link/DataLogNames.h>
#include <link/FileMoves.h>
#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace varno::kestal {

namespace {

const QString kCaption = QStringLiteral("kestal");
const QString kTransferred = QStringLiteral("ok transferred");
const QString kFailed = QStringLiteral("error transfer failed");

using qtsupport::UserInteraction;

UserInteraction::Answer ask(const QString& text, UserInteraction::Buttons buttons)
{
    return qtsupport::userInteraction().question(text, kCaption, buttons);
}

} // namespace

std::string TemporaryTimeText(const std::string& text)
{
    std::string s = link::ApplyCharacterRule(text);
    if (s.size() > 8 && s.compare(s.size() - 8, 8, "00_00_00") == 0)
        s.erase(s.size() - 8);
    return s;
}

DownloadTarget ChooseDownloadTarget(double firmware, const QString& pcFile, const QString& dataFolder,
                                    uint32_t start, uint32_t span)
{
    if (firmware >= 3.1 || pcFile.size() <= 4)
        return {1, QString()};
    if (!pcFile.toLower().endsWith(QLatin1String(".vrn")))
        return {0, QString()};
    // Older firmware continues the stored copy, when that holds the data log's beginning;
    // a file that starts elsewhere or is as long already is no beginning to continue.
    const LocalFile copy = LocalFileFromName(qtsupport::pathBytes(pcFile));
    if (copy.start != start || copy.length >= span)
        return {0, QString()};
    return {0, QDir(dataFolder).filePath(pcFile)};
}

QString FreeTemporaryPath(const QString& path)
{
    QString candidate = path;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = path + QStringLiteral(" (%1)").arg(n);
    return candidate;
}

QString DataFileList::download(CQuorvalin& link, const DownloadRequest& request) const
{
    return m_download ? m_download(link, request) : RunDownload(link, request, m_doc.Timing().downloadPollMs);
}

bool DataFileList::askToClear(CQuorvalin& link)
{
    if (ask(QStringLiteral("Do you want to clear the data log?"), UserInteraction::Buttons::YesNo) !=
            UserInteraction::Answer::Yes ||
        ask(QStringLiteral("All measurement data will be cleared in the instrument"),
            UserInteraction::Buttons::OkCancel) != UserInteraction::Answer::Ok)
        return false;
    bool cleared = false;
    {
        qtsupport::WaitCursor wait;
        cleared = link.ClearDataLog();
    }
    if (!cleared) {
        const QString error = qtsupport::textFromBytes(link.GetLastErrorText());
        qtsupport::userInteraction().message(
            QStringLiteral("The data log was not cleared: ") + (error.isEmpty() ? QStringLiteral("no answer") : error),
            kCaption, UserInteraction::Icon::Warning);
    }
    return cleared;
}

QString DataFileList::TransferRow(int row)
{
    return transferRow(row, true).path;
}

DataFileList::Transferred DataFileList::transferRow(int index, bool listAfterClear)
{
    Transferred result;
    const QString folder = m_doc.GetDataFolderPath();
    if (!m_instrument || index < 0 || index >= RowCount() || folder.isEmpty() || !m_doc.GetLink())
        return result;
    const Busy busy(*this);
    const FileRow row = m_rows[size_t(index)];
    setRowState(index, row.pcFile, QStringLiteral("transferring..."), row.icon);

    CQuorvalin& link = *m_doc.GetLink();
    {
        const LinkLock lock(link);
        const uint32_t serial = link.GetSerialNumber();
        const double firmware = link.GetFirmwareVersion();
        const std::string startText = qtsupport::bytesFromText(row.startText);
        const std::string stopText = qtsupport::bytesFromText(row.stopText);
        const QString temporary = FreeTemporaryPath(QDir(folder).filePath(qtsupport::pathFromBytes(
            link::TemporaryDownloadName(serial, row.start, row.span, startText, stopText, row.text))));
        const QString caption = QString::fromLatin1(TemporaryTimeText(startText).c_str()) + " ... " +
            QString::fromLatin1(TemporaryTimeText(stopText).c_str());
        const DownloadTarget target = ChooseDownloadTarget(firmware, row.pcFile, folder, row.start, row.span);
        // The stored copy stays as it is: the download continues a copy of it.
        if (!target.continueFrom.isEmpty())
            QFile::copy(target.continueFrom, temporary);

        const QString written = download(link, {temporary, row.start, row.span, target.mode, caption});
        // Nothing partial is ever kept: a failed download loses its temporary file, and a file
        // shorter than the listed size is no copy of the data log.
        if (written.isEmpty() || QFileInfo(written).size() < qint64(row.size)) {
            QFile::remove(temporary);
            if (!written.isEmpty())
                QFile::remove(written);
            setRowState(index, QString(), kFailed, 0);
        } else {
            qtsupport::WaitCursor wait;
            IdentifiedLog identified = IdentifyDataLog(written);
            FillFromListing(identified, serial, row.start, row.span);
            const QString finalPath = QDir(folder).filePath(qtsupport::pathFromBytes(FinalFileName(identified)));
            link::MoveResult moved = link::MoveResult::SameName;
            if (finalPath != written)
                moved = link::MoveWithBackup(qtsupport::pathBytes(written), qtsupport::pathBytes(finalPath));
            if (moved == link::MoveResult::Moved || moved == link::MoveResult::SameName) {
                result = {Outcome::Stored, finalPath, false};
                setRowState(index, QString(), kTransferred, 4);
            } else {
                // The data stay under the temporary name, which no later download writes over.
                result = {Outcome::NotInstalled, written, false};
                setRowState(index, QString(), kFailed, 0);
                qtsupport::userInteraction().message(
                    qtsupport::textFromBytes(link::MoveResultMessage(moved, qtsupport::pathBytes(written),
                                                                    qtsupport::pathBytes(finalPath))) +
                        QStringLiteral("\r\nThe transferred data log is kept as: ") + written,
                    kCaption, UserInteraction::Icon::Warning);
            }
        }
        if (result.outcome == Outcome::Stored && firmware > 0.0 && firmware < 3.0)
            result.cleared = askToClear(link);
        link.IdleTime(0);
    }
    if (result.cleared && listAfterClear)
        listInstrument();
    return result;
}

void DataFileList::transferEach(const std::vector<int>& rows, const std::function<bool(const FileRow&)>& wanted,
                                bool& anyTransferred)
{
    CQuorvalin& link = *m_doc.GetLink();
    bool cleared = false;
    {
        const Busy busy(*this);
        const LinkLock lock(link);
        for (int row : rows) {
            if (row < 0 || row >= RowCount() || !wanted(m_rows[size_t(row)]))
                continue;
            anyTransferred = true;
            const Transferred t = transferRow(row, false);
            if (t.cleared) {
                // The instrument's data logs are gone: the other rows name nothing any more.
                cleared = true;
                break;
            }
            if (t.outcome == Outcome::Stored)
                continue;
            // Without a line every further row would fail the same way.
            if (!link.IsConnected())
                break;
            if (ask(QStringLiteral("The transfer was canceled. Do you want to continue transferring the other files?"),
                    UserInteraction::Buttons::OkCancel) != UserInteraction::Answer::Ok)
                break;
        }
        if (cleared)
            listInstrument();
        else
            ReMatch();
        emit columnsToFit();
    }
}

void DataFileList::offerHangUp()
{
    // A line that dropped is the panel's to report; there is nothing left to hang up.
    if (m_doc.IsConnected() && m_doc.GetLink()->IsConnected() && m_doc.AskHangUp())
        m_doc.Disconnect();
}

void DataFileList::TransferMarked(const std::vector<int>& rows)
{
    if (!m_instrument || !m_doc.IsConnected())
        return;
    if (rows.empty()) {
        qtsupport::userInteraction().message(QStringLiteral("No files are selected for transfer"), kCaption);
        return;
    }
    bool any = false;
    transferEach(rows, [](const FileRow&) { return true; }, any);
    offerHangUp();
}

void DataFileList::TransferNew()
{
    if (!m_instrument || !m_doc.IsConnected())
        return;
    ReMatch();
    std::vector<int> all(m_rows.size());
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = int(i);
    bool any = false;
    transferEach(all, [](const FileRow& r) { return !r.status.contains(QLatin1String("ok")); }, any);
    if (any)
        offerHangUp();
}

} // namespace varno::kestal

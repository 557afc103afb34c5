#include <kestal/files/DataFileList.h>

#include <kestal/files/FinalName.h>
#include <kestal/files/Import.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/files/Launcher.h>
#include <kestal/stations/LinkLock.h>
#include <kestal/files/LocalFiles.h>
#include <kestal/files/Matching.h>
#include <kestal/stations/WorkerCall.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <QDir>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <cinttypes>

namespace varno::kestal {

namespace {

const QString kCaption = QStringLiteral("kestal");

void tell(const QString& text)
{
    qtsupport::userInteraction().message(text, kCaption, qtsupport::UserInteraction::Icon::Warning);
}

// "%4d" of the link's numbers.
QString numberText(uint32_t value)
{
    return QString::asprintf("%4" PRId32, int32_t(value));
}

FileRow instrumentRow(const ListedLog& log)
{
    FileRow row;
    row.start = log.start;
    row.span = log.length;
    row.size = log.size;
    row.text = log.text;
    row.name = qtsupport::textFromBytes(log.text);
    row.startText = qtsupport::textFromBytes(quorvalin_time2string(log.startTime));
    row.stopText = log.stopTime == 0 ? QStringLiteral("(running)")
                                     : qtsupport::textFromBytes(quorvalin_time2string(log.stopTime));
    row.sizeText = numberText(log.size);
    row.spanText = numberText(log.length);
    return row;
}

FileRow localRow(const LocalFile& f)
{
    FileRow row;
    row.icon = 4;
    row.startText = qtsupport::textFromBytes(f.startText);
    row.stopText = qtsupport::textFromBytes(f.stopText);
    row.spanText = QString::number(f.length);
    row.sizeText = QString::number(f.size);
    row.name = qtsupport::textFromBytes(f.text);
    row.serialText = QString::number(f.serial);
    row.pcFile = f.names.join('\n');
    row.status = QStringLiteral("ok");
    return row;
}

} // namespace

DataFileList::DataFileList(CKestalDoc& doc, const Launcher& launcher, QObject* parent)
    : QObject(parent)
    , m_doc(doc)
    , m_launcher(launcher)
{
}

DataFileList::~DataFileList() = default;

void DataFileList::resetRows(std::vector<FileRow> rows, bool instrument)
{
    m_rows = std::move(rows);
    m_instrument = instrument;
    ++m_generation;
    emit rowsReset();
}

void DataFileList::setRowState(int row, const QString& pcFile, const QString& status, int icon)
{
    FileRow& r = m_rows[size_t(row)];
    r.pcFile = pcFile;
    r.status = status;
    r.icon = icon;
    emit rowChanged(row);
}

void DataFileList::Update()
{
    if (m_busy > 0) {
        m_updatePending = true;
        return;
    }
    const Busy busy(*this);
    if (m_doc.IsConnected() && m_doc.GetLink())
        listInstrument();
    else
        listLocal();
}

void DataFileList::listLocal()
{
    m_note.clear();
    std::vector<FileRow> rows;
    const QString folder = m_doc.GetDataFolderPath();
    if (!folder.isEmpty()) {
        std::vector<LocalFile> files = LocalScan(folder);
        // Files left under a temporary name ("~") get their proper names, once per listing.
        const Identifier identify = [](const QString& path, Identity& id) {
            const IdentifiedLog log = IdentifyDataLog(path);
            id.start = log.record.start;
            id.length = log.record.length;
            id.finalName = FinalFileName(log);
            return true;
        };
        if (RenamePass(folder, files, identify) > 0)
            files = LocalScan(folder);
        if (m_reportMode == Monthly)
            MergeMonths(files);
        for (const LocalFile& f : files)
            rows.push_back(localRow(f));
    }
    resetRows(std::move(rows), false);
    emit columnsToFit();
}

void DataFileList::listInstrument()
{
    qtsupport::WaitCursor wait;
    resetRows({}, true);
    CQuorvalin& link = *m_doc.GetLink();
    InstrumentListing listing;
    {
        const LinkLock lock(link);
        link.Update();
        const std::vector<LocalFile> own =
            InstrumentFiles(ScanLocalFiles(m_doc.GetDataFolderPath()), link.GetSerialNumber());
        const ListedRange range = ListingRange(own, link.GetFirmwareVersion());
        // The data end is asked for before the range is set, as the instrument expects.
        (void)link.GetLogStart();
        (void)link.GetLogLength();
        link.SetFileListRange(range.start, range.length);
        bool started = false;
        const ListingRead read = [&](const std::atomic<bool>& cancel) {
            started = true;
            listing = ReadInstrumentListing(link, cancel);
        };
        if (m_refresh)
            m_refresh(read);
        else
            RunOffThread([&read] { read(std::atomic<bool>(false)); });
        listing.cancelled = listing.cancelled || !started; // cancelled before it began
        link.IdleTime(0);
    }
    // A list that was cut short is not shown: its last row would not be the running one.
    std::vector<FileRow> rows;
    if (listing.cancelled)
        m_note = QStringLiteral("Reading the instrument's file list was cancelled.");
    else if (!listing.read)
        m_note = QStringLiteral("The instrument's file list could not be read: ") +
            (listing.error.empty() ? QStringLiteral("no answer") : qtsupport::textFromBytes(listing.error));
    else
        m_note.clear();
    if (m_note.isEmpty())
        for (const ListedLog& log : listing.logs)
            rows.push_back(instrumentRow(log));
    resetRows(std::move(rows), true);
    ReMatch();
    emit columnsToFit();
}

void DataFileList::ReMatch()
{
    if (!m_instrument || m_rows.empty() || !m_doc.IsConnected())
        return;
    CQuorvalin& link = *m_doc.GetLink();
    uint32_t serial = 0;
    uint32_t magic = 0;
    {
        const LinkLock lock(link);
        // A line that dropped tells nothing: the rows keep what the transfers said.
        if (!link.IsConnected())
            return;
        serial = link.GetSerialNumber();
        magic = link.GetLogMagic();
    }
    const std::vector<LocalFile> candidates =
        MatchCandidates(ScanLocalFiles(m_doc.GetDataFolderPath()), serial, magic);
    std::vector<ListedRange> ranges;
    for (const FileRow& row : m_rows)
        ranges.push_back({row.start, row.span});
    const std::vector<RowMatch> matches = MatchRows(ranges, candidates);
    for (size_t i = 0; i < m_rows.size(); ++i)
        setRowState(int(i), qtsupport::pathFromBytes(matches[i].fileName),
                    QString::fromLatin1(MatchStatus(matches[i].kind)), MatchIcon(matches[i].kind));
}

void DataFileList::Tick()
{
    growRunningLog();
    m_doc.CheckIdle();
}

void DataFileList::growRunningLog()
{
    if (m_busy > 0 || !m_instrument || m_rows.empty() || !m_doc.IsConnected())
        return;
    // Only a data log that is still being recorded grows.
    if (m_rows.back().stopText != QLatin1String("(running)"))
        return;
    CQuorvalin& link = *m_doc.GetLink();
    if (!link.TryLock())
        return;
    // A dropped line has no data end; the panel's tick reports it.
    if (!link.IsConnected()) {
        link.Unlock();
        return;
    }
    FileRow& last = m_rows.back();
    const int64_t end = int64_t(link.GetLogStart()) + int64_t(link.GetLogLength());
    const uint32_t span = uint32_t(std::clamp<int64_t>(end - int64_t(last.start), 0, INT32_MAX));
    const QString text = numberText(span);
    if (text != last.spanText) {
        last.span = span;
        last.spanText = text;
        emit rowChanged(RowCount() - 1);
        ReMatch();
    }
    link.Unlock();
}

QString DataFileList::FindLocalFiles(int row, bool transferIfMissing, bool combine)
{
    if (row < 0 || row >= RowCount())
        return QString();
    if (m_rows[size_t(row)].pcFile.isEmpty()) {
        if (!transferIfMissing || !m_instrument)
            return QString();
        const QString path = TransferRow(row);
        ReMatch();
        return path.isEmpty() ? FindLocalFiles(row, false, false) : path;
    }
    return LocalFilePaths(m_doc.GetDataFolderPath(), m_rows[size_t(row)].pcFile, combine);
}

QStringList DataFileList::collect(const std::vector<int>& rows, bool transferIfMissing, bool combine)
{
    QStringList paths;
    const uint64_t generation = m_generation;
    for (int row : rows) {
        // A transfer that cleared the instrument's data log has listed it afresh: the other
        // rows are gone.
        if (m_generation != generation)
            break;
        const QString found = FindLocalFiles(row, transferIfMissing, combine);
        if (!found.isEmpty())
            paths.append(found.split('\n'));
    }
    return paths;
}

void DataFileList::handOver(const std::vector<int>& rows, bool combine,
                            const std::function<bool(const QStringList&)>& start, const QString& failure)
{
    const QStringList paths = collect(rows, true, combine);
    if (paths.isEmpty())
        tell(QStringLiteral("No items were selected"));
    else if (!start(paths))
        tell(failure);
}

void DataFileList::View(const std::vector<int>& rows)
{
    handOver(rows, true, [this](const QStringList& paths) { return m_launcher.ViewFiles(paths); },
             QStringLiteral("Unable to open Data Viewer"));
}

void DataFileList::ViewGraphics(const std::vector<int>& rows)
{
    handOver(rows, false, [this](const QStringList& paths) { return m_launcher.PlotFiles(paths); },
             QStringLiteral("Unable to open Data Viewer"));
}

void DataFileList::Convert(const std::vector<int>& rows)
{
    if (m_doc.IsConnected() || m_doc.GetSelectedStation() < 0)
        return;
    handOver(rows, true,
             [this](const QStringList& paths) { return m_launcher.ConvertFiles(paths, m_doc.GetExportFolderPath()); },
             QStringLiteral("Unable to call Data Converter"));
}

std::unique_ptr<QMimeData> DataFileList::Copy(const std::vector<int>& rows)
{
    const QStringList paths = collect(rows, true, false);
    if (paths.isEmpty()) {
        tell(QStringLiteral("No items were selected"));
        return nullptr;
    }
    return FileDropData(paths);
}

void DataFileList::ViewRow(int row)
{
    const QString found = FindLocalFiles(row, true, true);
    if (!found.isEmpty() && !m_launcher.ViewFiles(found.split('\n')))
        tell(QStringLiteral("Unable to open Data Viewer"));
}

void DataFileList::Import()
{
    if (m_doc.IsConnected())
        return;
    const QString folder = m_doc.GetDataFolderPath();
    if (folder.isEmpty())
        return; // no station: nowhere to import to
    const QStringList chosen = qtsupport::userInteraction().openFileNames(
        QStringLiteral("Open"), QDir::homePath(), QString::fromLatin1(qtsupport::kDataFileFilter));
    for (const QString& path : chosen) {
        if (m_importConfirm && !m_importConfirm(path)) {
            qtsupport::userInteraction().message(QStringLiteral("File Import Canceled"), kCaption);
            continue;
        }
        QString message;
        if (ImportDataLog(path, folder, &message) == ImportResult::Failed)
            tell(message);
    }
    Update();
}

std::unique_ptr<QMimeData> FileDropData(const QStringList& paths)
{
    QList<QUrl> urls;
    QByteArray copied("copy");
    for (const QString& p : paths) {
        urls.append(QUrl::fromLocalFile(p));
        copied += "\n" + urls.last().toEncoded();
    }
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), copied);
    data->setText(paths.join('\n'));
    return data;
}

} // namespace varno::kestal

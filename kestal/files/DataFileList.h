#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <kestal/files/Download.h>
#include <kestal/files/InstrumentListing.h>

class CQuorvalin;
class QMimeData;

namespace varno::kestal {

class CKestalDoc;


class Launcher;

// One row of the data-file list, with the texts of its columns.
struct FileRow {
    uint32_t start = 0; // instrument rows: the data log's start (the row's item data)
    uint32_t span = 0;  // the Span column as a number
    uint32_t size = 0;  // instrument rows: the listed size in bytes
    int icon = 0;       // 0 no local copy, 3 a partial copy, 4 a complete copy
    std::string text;   // instrument rows: the data log's text as the instrument gave it
    QString startText, stopText, sizeText, name, pcFile, status, serialText, spanText;
};

// The rows of the right pane and everything done with them. While the document is connected
// it lists the instrument's data logs and says for each what the station's data folder holds
// of it; it transfers rows into the folder. Otherwise it lists the folder's data logs, by day
// or merged into months. Either way it finds the files of rows for the file commands.
//
// It uses the link on the window thread under the link's lock; its timer work only tries the
// lock. It asks the user through the suite's UserInteraction and the runners below, and tells
// its view through its signals.
class DataFileList : public QObject {
    Q_OBJECT
public:
    enum ReportMode { Daily = 0, Monthly = 2 };
    // Shows the import dialog for one file; true on OK.
    using ImportConfirm = std::function<bool(const QString& path)>;

    DataFileList(CKestalDoc& doc, const Launcher& launcher, QObject* parent = nullptr);
    ~DataFileList() override;

    // The windows of the work (the view installs them). Without a refresh runner the list is
    // read off the window thread with nothing shown; without a download runner downloads are
    // polled in a loop; without an import confirmation every chosen file is imported.
    void SetRefreshRunner(RefreshRunner runner) { m_refresh = std::move(runner); }
    void SetDownloadRunner(DownloadRunner runner) { m_download = std::move(runner); }
    void SetImportConfirm(ImportConfirm confirm) { m_importConfirm = std::move(confirm); }

    const std::vector<FileRow>& Rows() const { return m_rows; }
    int RowCount() const { return int(m_rows.size()); }
    // Whether the rows are the instrument's data logs (else the data folder's files).
    bool IsInstrumentListing() const { return m_instrument; }
    // Why the instrument's rows are missing when its list was not read; "" otherwise.
    QString Note() const { return m_note; }
    int GetReportMode() const { return m_reportMode; }
    void SetReportMode(int mode) { m_reportMode = mode; }

    // Lists again: the instrument while connected, else the data folder. Asked for while a
    // transfer or a listing runs, it follows when that has ended.
    void Update();
    // The match of every instrument row against the data folder, afresh.
    void ReMatch();
    // The one-second timer's work: the growing data log of a running measurement and the
    // idle time-out of a modem line; skipped while anybody holds the link.
    void Tick();

    // Paths of a row's files, "\n" between them ("search=" form when combine and several).
    // transferIfMissing: an instrument row without a local file is transferred first.
    QString FindLocalFiles(int row, bool transferIfMissing, bool combine);
    // Downloads an instrument row into the data folder under its final name. Returns the
    // path of the stored file; "" when nothing was stored. A download that could not be
    // moved to its final name stays under its temporary name, whose path is returned.
    QString TransferRow(int row);
    // Transfer marked: the given rows in list order. Transfer new: every row without "ok".
    void TransferMarked(const std::vector<int>& rows);
    void TransferNew();

    // File commands on rows, in list order.
    void View(const std::vector<int>& rows);
    void ViewGraphics(const std::vector<int>& rows);
    void Convert(const std::vector<int>& rows);
    // The file list for the clipboard; null (and the user told) when nothing was found.
    std::unique_ptr<QMimeData> Copy(const std::vector<int>& rows);
    void ViewRow(int row);
    // Lets the user choose files and copies each confirmed one into the data folder.
    void Import();

signals:
    void rowsReset();         // every row is new
    void rowChanged(int row); // texts or icon of one row
    void columnsToFit();      // a listing or a transfer command is done

private:
    enum class Outcome { Stored, Failed, NotInstalled };
    struct Transferred {
        Outcome outcome = Outcome::Failed;
        QString path;
        bool cleared = false; // the instrument's data log was cleared afterwards
    };
    // Marks the list as working (transferring or listing): an Update asked for meanwhile,
    // from a timer or a window inside the work's own event loops, follows at the end.
    class Busy {
    public:
        explicit Busy(DataFileList& list) : m_list(list) { ++m_list.m_busy; }
        ~Busy()
        {
            if (--m_list.m_busy == 0 && m_list.m_updatePending) {
                m_list.m_updatePending = false;
                m_list.Update();
            }
        }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        DataFileList& m_list;
    };

    void listLocal();
    void listInstrument();
    void resetRows(std::vector<FileRow> rows, bool instrument);
    void setRowState(int row, const QString& pcFile, const QString& status, int icon);
    void growRunningLog();
    Transferred transferRow(int row, bool listAfterClear);
    QString download(CQuorvalin& link, const DownloadRequest& request) const;
    bool askToClear(CQuorvalin& link);
    void transferEach(const std::vector<int>& rows, const std::function<bool(const FileRow&)>& wanted,
                      bool& anyTransferred);
    void offerHangUp();
    QStringList collect(const std::vector<int>& rows, bool transferIfMissing, bool combine);
    // Collects the rows' paths (transferring what is missing) and starts a program with them.
    void handOver(const std::vector<int>& rows, bool combine, const std::function<bool(const QStringList&)>& start,
                  const QString& failure);

    CKestalDoc& m_doc;
    const Launcher& m_launcher;
    std::vector<FileRow> m_rows;
    bool m_instrument = false;
    QString m_note;
    int m_reportMode = Monthly;
    uint64_t m_generation = 0; // counts the resets of the rows
    int m_busy = 0;
    bool m_updatePending = false;
    RefreshRunner m_refresh;
    DownloadRunner m_download;
    ImportConfirm m_importConfirm;
};

// The temporary name's form of a time text: the file-name character rule, and a trailing
// "00_00_00" cut off a text longer than 8 characters.
std::string TemporaryTimeText(const std::string& text);

// How a row (start, span) is downloaded, by the firmware and the row's local file (pcFile in
// dataFolder).
struct DownloadTarget {
    int mode = 1;         // 1: a new file; 0: continue
    QString continueFrom; // a stored copy of the data log's beginning that the download continues
};
DownloadTarget ChooseDownloadTarget(double firmware, const QString& pcFile, const QString& dataFolder,
                                    uint32_t start, uint32_t span);

// path, or when a file of that name exists the first of "path (2)", "path (3)" ... that
// does not: a download never writes over a file that an earlier one left.
QString FreeTemporaryPath(const QString& path);

// The clipboard's form of a file list: file URLs, the desktop's "copied files" and the paths
// as text, one a line.
std::unique_ptr<QMimeData> FileDropData(const QStringList& paths);

} // namespace varno::kestal

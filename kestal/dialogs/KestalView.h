#pragma once

#include <QTreeWidget>

#include <functional>
#include <map>
#include <vector>

#include <kestal/files/DataFileList.h>

class QMenu;
class QSettings;
class QTimer;

namespace varno::kestal {

class CKestalDoc;

class Launcher;

// The right pane: shows the rows of the data-file list (the instrument's data logs while
// connected, else the files of the station's data folder) and hands the file commands of
// the selected rows to it. The list's windows (refresh, file transfer, import) belong here.
class CKestalView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { ColIcon, ColStart, ColStop, ColSize, ColName, ColPcFile, ColStatus, ColSerial, ColSpan };
    enum ReportMode { Daily = DataFileList::Daily, Monthly = DataFileList::Monthly };
    using ImportConfirm = DataFileList::ImportConfirm;

    CKestalView(CKestalDoc& doc, const Launcher& launcher, QWidget* parent = nullptr);

    DataFileList& list() { return m_list; }

    // Lists again (the document's "update all views").
    void OnUpdate() { m_list.Update(); }
    // One tick of the list's one-second timer (public for tests).
    void tick() { m_list.Tick(); }
    QTimer* timer() const { return m_timer; }
    int GetReportMode() const { return m_list.GetReportMode(); }
    void OnDailyReports();
    void OnMonthlyReports();

    QString FindLocalFiles(int row, bool transferIfMissing, bool combine)
    {
        return m_list.FindLocalFiles(row, transferIfMissing, combine);
    }

    // Commands on the selected rows.
    void OnTransferMarked() { m_list.TransferMarked(selectedRows()); }
    void OnTransferNew() { m_list.TransferNew(); }
    void OnView() { m_list.View(selectedRows()); }
    void OnViewGraphics() { m_list.ViewGraphics(selectedRows()); }
    void OnConvert() { m_list.Convert(selectedRows()); }
    void OnCopy();
    void OnImport() { m_list.Import(); }
    void OnExportedData();
    void ViewRow(int row) { m_list.ViewRow(row); }

    void SetImportConfirm(ImportConfirm confirm) { m_list.SetImportConfirm(std::move(confirm)); }
    QMenu* contextMenu();

    // The icons of the three states (no copy, partial copy, complete copy).
    static QIcon StateIcon(int state);

    // Columns the user sized by hand keep their width over every listing's auto-size, and
    // from one run to the next: kept in and taken from settings.
    void SaveColumnWidths(QSettings& settings) const;
    void RestoreColumnWidths(QSettings& settings);

signals:
    void transferMarkedRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRows();
    void showRow(int row);
    void fill(QTreeWidgetItem& item, const FileRow& row) const;
    void autoSize();
    std::vector<int> selectedRows() const;
    void showContextMenu(const QPoint& pos);

    CKestalDoc& m_doc;
    const Launcher& m_launcher;
    DataFileList m_list;
    const QIcon m_icons[3]; // no copy, partial copy, complete copy
    bool m_sizing = false;
    bool m_headerPressed = false; // a mouse button is down on the header
    std::map<int, int> m_userWidths; // column -> width the user gave it
    QMenu* m_menu = nullptr;
    bool m_menuConnected = false;
    QTimer* m_timer = nullptr;
};

} // namespace varno::kestal

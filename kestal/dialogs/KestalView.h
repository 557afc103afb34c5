#pragma once

#include <QStringList>
#include <QTreeWidget>

#include <functional>

class CKestalDoc;
class QMenu;
class QTimer;

namespace kestal {
class Launcher;
}

// The right pane: the data logs of the selected station's data folder, by day or merged
// into months, and the file commands View, View (Graphics), Convert, Copy and Import.
class CKestalView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { ColIcon, ColStart, ColStop, ColSize, ColName, ColPcFile, ColStatus, ColSerial, ColSpan };
    enum ReportMode { Daily = 0, Monthly = 2 };
    // Shows the import dialog for one file; true on OK.
    using ImportConfirm = std::function<bool(const QString& path)>;

    CKestalView(CKestalDoc& doc, const kestal::Launcher& launcher, QWidget* parent = nullptr);

    // Lists again (the document's "update all views").
    void OnUpdate();
    // One tick of the list's one-second timer (public for tests).
    void tick();
    QTimer* timer() const { return m_timer; }
    int GetReportMode() const { return m_reportMode; }
    void OnDailyReports();
    void OnMonthlyReports();

    // Paths of a row's files, "\n" between them ("search=" form when combine and merged).
    QString FindLocalFiles(int row, bool transferIfMissing, bool combine);

    // File commands.
    void OnView();
    void OnViewGraphics();
    void OnConvert();
    void OnCopy();
    void OnImport();
    void OnExportedData();
    void ViewRow(int row);

    void SetImportConfirm(ImportConfirm confirm) { m_importConfirm = std::move(confirm); }
    QMenu* contextMenu();

    // The icons of the three states (no copy, partial copy, complete copy).
    static QIcon StateIcon(int state);

signals:
    void transferMarkedRequested();

private:
    void localListing();
    void autoSize();
    QStringList collect(bool transferIfMissing, bool combine);
    void showContextMenu(const QPoint& pos);

    CKestalDoc& m_doc;
    const kestal::Launcher& m_launcher;
    int m_reportMode = Monthly;
    bool m_sizing = false;
    QMenu* m_menu = nullptr;
    bool m_menuConnected = false;
    ImportConfirm m_importConfirm;
    QTimer* m_timer = nullptr;
};

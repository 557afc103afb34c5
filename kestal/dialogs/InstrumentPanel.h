#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QTableWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace varno::kestal {

class CKestalDoc;

// The left pane's panel. While no instrument is connected it shows the stations of the
// document; selecting one selects it in the document. While connected it shows what the
// instrument reports: identity, user level, clock, batteries, memory and a table of its
// functions with their values and statistics. A one-second tick keeps the clock going,
// notices a dropped line and schedules the document's status and values jobs.
class CInstrumentPanel : public QWidget {
    Q_OBJECT
public:
    explicit CInstrumentPanel(CKestalDoc& doc, QWidget* parent = nullptr);

    // Brings the fields and the lists up to date from the document and the link.
    void Refresh();
    // One tick of the panel's timer (public for tests).
    void tick();
    QTimer* timer() const { return m_timer; }

    QTreeWidget* stationList() const { return m_stations; }
    QTableWidget* functionList() const { return m_functions; }
    QLineEdit* stationEdit() const { return m_station; }
    QLineEdit* connectionEdit() const { return m_connection; }
    QLineEdit* instrumentEdit() const { return m_instrument; }
    QLineEdit* versionEdit() const { return m_version; }
    QLineEdit* numberEdit() const { return m_number; }
    QLineEdit* userLevelEdit() const { return m_userLevel; }
    QLineEdit* clockEdit() const { return m_clock; }
    QLineEdit* internalVoltageEdit() const { return m_internalVoltage; }
    QLineEdit* externalVoltageEdit() const { return m_externalVoltage; }
    QLineEdit* memoryEdit() const { return m_memory; }
    QProgressBar* memoryBar() const { return m_memoryBar; }
    QProgressBar* internalBar() const { return m_internalBar; }
    QProgressBar* externalBar() const { return m_externalBar; }
    QLabel* numberLabel() const { return m_numberLabel; }
    QLabel* memoryLabel() const { return m_memoryLabel; }
    // Gives the keyboard focus to the list that is shown: stations, or functions while
    // connected.
    void FocusList();
    // The list's pop-up menu (built on demand, shown only while not connected).
    QMenu* contextMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The panel's requests that the document's commands serve.
    void connectRequested();
    void editStationRequested();

private:
    void selectRow(QTreeWidgetItem* item);
    void showContextMenu(const QPoint& pos);
    void refreshConnected();
    void refreshStations();
    void showInstrument(bool connected);
    void showClock();
    void fitFunctionColumns();

    CKestalDoc& m_doc;
    int64_t m_clockOffset = 0;
    uint32_t m_statusFlags = 0;
    QLineEdit* m_station;
    QLineEdit* m_connection;
    QLineEdit* m_instrument;
    QLineEdit* m_version;
    QLineEdit* m_number;
    QLineEdit* m_userLevel;
    QLineEdit* m_clock;
    QLineEdit* m_internalVoltage;
    QLineEdit* m_externalVoltage;
    QLineEdit* m_memory;
    QProgressBar* m_memoryBar;
    QProgressBar* m_internalBar;
    QProgressBar* m_externalBar;
    QLabel* m_numberLabel;
    QLabel* m_memoryLabel;
    QLabel* m_freeLabel;
    QWidget* m_instrumentBox;  // identity, user level and clock
    QWidget* m_batteryBox;     // batteries
    QWidget* m_memoryBox;      // memory
    QTreeWidget* m_stations;
    QTableWidget* m_functions;
    QMenu* m_menu = nullptr;
    QTimer* m_timer;
    std::vector<int> m_columnWidths; // as last fitted
};

// The left view: holds one panel over its whole area.
class CLeftView : public QWidget {
    Q_OBJECT
public:
    explicit CLeftView(CKestalDoc& doc, QWidget* parent = nullptr);
    CInstrumentPanel* panel() const { return m_panel; }

private:
    CInstrumentPanel* m_panel;
};

} // namespace varno::kestal

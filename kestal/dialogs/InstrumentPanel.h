#pragma once

#include <QWidget>

class CKestalDoc;
class QLabel;
class QLineEdit;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

// The left pane's panel. While no instrument is connected it shows the stations of the
// document; selecting one selects it in the document.
class CInstrumentPanel : public QWidget {
    Q_OBJECT
public:
    explicit CInstrumentPanel(CKestalDoc& doc, QWidget* parent = nullptr);

    // Brings the fields and the station list up to date from the document.
    void Refresh();

    QTreeWidget* stationList() const { return m_stations; }
    QLineEdit* stationEdit() const { return m_station; }
    QLineEdit* connectionEdit() const { return m_connection; }
    // The list's pop-up menu (built on demand, shown only while not connected).
    QMenu* contextMenu();

signals:
    // The panel's requests that the document's commands serve.
    void connectRequested();
    void editStationRequested();

private:
    void selectRow(QTreeWidgetItem* item);
    void showContextMenu(const QPoint& pos);

    CKestalDoc& m_doc;
    QLineEdit* m_station;
    QLineEdit* m_connection;
    QTreeWidget* m_stations;
    QMenu* m_menu = nullptr;
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

#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

class QPushButton;
class QTreeWidget;

namespace varno::kestal {

class InstrumentList;

// A report-style list with the given columns: no tree decoration, whole rows selected one
// at a time.
QTreeWidget* ReportList(const QStringList& headers, QWidget* parent);
// Replaces the rows; each column then is as wide as the wider of its header and its texts.
void ShowRows(QTreeWidget* list, const std::vector<QStringList>& rows);


// A setup page that lists what the instrument holds, with "Add", "Change" and "Delete"
// (and a double click to change a row) for users with "full access". Each button works on
// the selected row and ends with the list shown afresh.
class CListPage : public QWidget {
    Q_OBJECT
public:
    void OnAdd();
    void OnChange();
    void OnDelete();

    QTreeWidget* list() const { return m_tree; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* changeButton() const { return m_change; }
    QPushButton* deleteButton() const { return m_delete; }

protected:
    CListPage(const QStringList& headers, QWidget* parent);
    // Reads and shows the list; the buttons only when the user may edit. Called once the
    // page (and with it the list) is built.
    void Initialise(InstrumentList& list);

private:
    void showRows();
    int selectedRow() const;

    InstrumentList* m_list = nullptr;
    QTreeWidget* m_tree;
    QPushButton* m_add;
    QPushButton* m_change;
    QPushButton* m_delete;
};

} // namespace varno::kestal

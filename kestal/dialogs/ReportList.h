#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

class QPushButton;
class QTreeWidget;

namespace kestal {

// A report-style list with the given columns: no tree decoration, whole rows selected one
// at a time.
QTreeWidget* ReportList(const QStringList& headers, QWidget* parent);
// Replaces the rows; each column then is as wide as the wider of its header and its texts.
void ShowRows(QTreeWidget* list, const std::vector<QStringList>& rows);

} // namespace kestal

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
    // Shows the rows; the buttons only when editable. Called once the page is built.
    void Initialise(bool editable);

    virtual std::vector<QStringList> rows() const = 0;
    virtual void add() = 0;
    virtual void change(int row) = 0; // row: -1 for no selection
    virtual void remove(int row) = 0;

private:
    void showRows();
    int selectedRow() const;

    QTreeWidget* m_tree;
    QPushButton* m_add;
    QPushButton* m_change;
    QPushButton* m_delete;
};

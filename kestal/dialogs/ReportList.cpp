#include <kestal/dialogs/ReportList.h>

#include <kestal/instrument/InstrumentList.h>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace varno::kestal {

QTreeWidget* ReportList(const QStringList& headers, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(int(headers.size()));
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setStretchLastSection(false);
    return list;
}

void ShowRows(QTreeWidget* list, const std::vector<QStringList>& rows)
{
    list->clear();
    for (const QStringList& row : rows)
        list->addTopLevelItem(new QTreeWidgetItem(row));
    for (int c = 0; c < list->columnCount(); ++c)
        list->resizeColumnToContents(c);
}


CListPage::CListPage(const QStringList& headers, QWidget* parent)
    : QWidget(parent)
    , m_tree(ReportList(headers, this))
    , m_add(new QPushButton(QStringLiteral("Add"), this))
    , m_change(new QPushButton(QStringLiteral("Change"), this))
    , m_delete(new QPushButton(QStringLiteral("Delete"), this))
{
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_add, m_change, m_delete}) {
        b->setAutoDefault(false); // Enter stays the sheet's OK
        buttons->addWidget(b);
    }
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addLayout(buttons);
    connect(m_add, &QPushButton::clicked, this, &CListPage::OnAdd);
    connect(m_change, &QPushButton::clicked, this, &CListPage::OnChange);
    connect(m_delete, &QPushButton::clicked, this, &CListPage::OnDelete);
}

void CListPage::Initialise(InstrumentList& list)
{
    m_list = &list;
    m_list->Refresh();
    showRows();
    const bool editable = m_list->CanEdit();
    for (QPushButton* b : {m_add, m_change, m_delete})
        b->setVisible(editable);
    if (editable)
        connect(m_tree, &QTreeWidget::itemDoubleClicked, this, &CListPage::OnChange);
}

int CListPage::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    return selected.isEmpty() ? -1 : m_tree->indexOfTopLevelItem(selected.first());
}

void CListPage::showRows()
{
    ShowRows(m_tree, m_list->Texts());
    m_tree->setFocus();
}

void CListPage::OnAdd()
{
    m_list->Add();
    showRows();
}

void CListPage::OnChange()
{
    m_list->Change(selectedRow());
    showRows();
}

void CListPage::OnDelete()
{
    m_list->Delete(selectedRow());
    showRows();
}

} // namespace varno::kestal

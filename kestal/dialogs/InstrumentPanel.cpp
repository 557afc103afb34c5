#include "InstrumentPanel.h"

#include "KestalDoc.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>

CInstrumentPanel::CInstrumentPanel(CKestalDoc& doc, QWidget* parent)
    : QWidget(parent)
    , m_doc(doc)
    , m_station(new QLineEdit(this))
    , m_connection(new QLineEdit(this))
    , m_stations(new QTreeWidget(this))
{
    m_station->setReadOnly(true);
    m_connection->setReadOnly(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Station"), m_station);
    form->addRow(QStringLiteral("Connection"), m_connection);

    m_stations->setColumnCount(3);
    m_stations->setHeaderLabels({QStringLiteral("station"), QStringLiteral("connection"),
                                 QStringLiteral("data path")});
    m_stations->setRootIsDecorated(false);
    m_stations->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_stations->setSelectionMode(QAbstractItemView::SingleSelection);
    m_stations->setContextMenuPolicy(Qt::CustomContextMenu);
    // Connection and data path are kept for the program, not shown.
    m_stations->header()->setStretchLastSection(false);
    m_stations->header()->setMinimumSectionSize(0);
    m_stations->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_stations->header()->resizeSection(1, 0);
    m_stations->header()->resizeSection(2, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addLayout(form);
    layout->addSpacing(40);
    layout->addWidget(m_stations, 1);

    connect(m_stations, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { selectRow(item); });
    connect(m_stations, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        selectRow(item);
        emit connectRequested();
    });
    connect(m_stations, &QWidget::customContextMenuRequested, this, &CInstrumentPanel::showContextMenu);
    m_stations->setFocus();
    Refresh();
}

void CInstrumentPanel::selectRow(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const int index = m_stations->indexOfTopLevelItem(item);
    if (index >= 0 && index != m_doc.GetSelectedStation())
        m_doc.SelectStation(index);
}

QMenu* CInstrumentPanel::contextMenu()
{
    if (!m_menu) {
        m_menu = new QMenu(this);
        m_menu->addAction(QStringLiteral("&Connect..."), this, &CInstrumentPanel::connectRequested);
        m_menu->addAction(QStringLiteral("&Edit Station Properties..."), this,
                          &CInstrumentPanel::editStationRequested);
    }
    return m_menu;
}

void CInstrumentPanel::showContextMenu(const QPoint& pos)
{
    QTreeWidgetItem* item = m_stations->itemAt(pos);
    if (item)
        m_stations->setCurrentItem(item);
    if (m_doc.IsConnected())
        return;
    QTreeWidgetItem* current = m_stations->currentItem();
    const QRect rect = current ? m_stations->visualItemRect(current) : QRect();
    const QPoint at = current ? rect.topLeft() + QPoint(80, 10) : pos;
    contextMenu()->popup(m_stations->viewport()->mapToGlobal(at));
}

void CInstrumentPanel::Refresh()
{
    m_station->setText(m_doc.GetStationName());
    m_connection->setText(m_doc.GetStationConnection());
    if (m_doc.IsConnected()) {
        m_stations->hide();
        return;
    }
    // Rebuilt only when it differs, so that the user's selection and scrolling stay.
    int count = 0;
    bool same = true;
    for (; !m_doc.StationName(count).isEmpty(); ++count) {
        const QTreeWidgetItem* row = m_stations->topLevelItem(count);
        if (!row || row->text(0) != m_doc.StationName(count) ||
            row->text(1) != m_doc.StationConnection(count))
            same = false;
    }
    if (!same || count != m_stations->topLevelItemCount()) {
        const QSignalBlocker block(m_stations);
        m_stations->clear();
        for (int i = 0; i < count; ++i)
            m_stations->addTopLevelItem(new QTreeWidgetItem(
                {m_doc.StationName(i), m_doc.StationConnection(i), m_doc.StationFolderPath(i) + "/vrn"}));
    }
    const int selected = m_doc.GetSelectedStation();
    if (selected >= 0 && selected < m_stations->topLevelItemCount() &&
        m_stations->currentItem() != m_stations->topLevelItem(selected)) {
        const QSignalBlocker block(m_stations);
        m_stations->setCurrentItem(m_stations->topLevelItem(selected));
    }
    m_stations->show();
}

CLeftView::CLeftView(CKestalDoc& doc, QWidget* parent)
    : QWidget(parent)
    , m_panel(new CInstrumentPanel(doc, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_panel);
    connect(&doc, &CKestalDoc::changed, m_panel, &CInstrumentPanel::Refresh);
}

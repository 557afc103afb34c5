#include <kestal/dialogs/KestalView.h>

#include <kestal/dialogs/Desktop.h>
#include <kestal/dialogs/ImportDlg.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/WaitDialogs.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QSettings>
#include <QTimer>

namespace varno::kestal {

namespace {
const char* const kColumnWidthsGroup = "fileListColumns";
}

QIcon CKestalView::StateIcon(int state)
{
    // A sheet of paper, empty, half filled or full.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(80, 80, 80));
    p.setBrush(Qt::white);
    p.drawRect(2, 1, 11, 13);
    const int filled = state >= 4 ? 11 : state >= 3 ? 6 : 0;
    if (filled > 0)
        p.fillRect(4, 14 - filled, 8, filled - 1, state >= 4 ? QColor(40, 140, 60) : QColor(230, 160, 30));
    return QIcon(pixmap);
}

CKestalView::CKestalView(CKestalDoc& doc, const Launcher& launcher, QWidget* parent)
    : QTreeWidget(parent)
    , m_doc(doc)
    , m_launcher(launcher)
    , m_list(doc, launcher)
    , m_icons{StateIcon(0), StateIcon(3), StateIcon(4)}
{
    setColumnCount(9);
    setHeaderLabels({QString(), QStringLiteral("Start"), QStringLiteral("Stop"), QStringLiteral("Size"),
                     QStringLiteral("Name"), QStringLiteral("PC file"), QStringLiteral("Status"),
                     QStringLiteral("Serial"), QStringLiteral("Span")});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::CustomContextMenu);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    // Only the mouse sizes a column by hand (a drag, or a double click on its edge); the
    // header also resizes sections by itself, when the style or the font changes.
    header()->viewport()->installEventFilter(this);
    connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (m_headerPressed && !m_sizing)
            m_userWidths[column] = width;
    });
    connect(this, &QWidget::customContextMenuRequested, this, &CKestalView::showContextMenu);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ViewRow(indexOfTopLevelItem(item)); });

    connect(&m_list, &DataFileList::rowsReset, this, &CKestalView::showRows);
    connect(&m_list, &DataFileList::rowChanged, this, &CKestalView::showRow);
    connect(&m_list, &DataFileList::columnsToFit, this, &CKestalView::autoSize);
    // Timings are read when a window opens: tests shorten them after the document exists.
    m_list.SetRefreshRunner([this](const ListingRead& read) {
        CRefreshDlg dialog(read, m_doc.Timing(), this);
        dialog.exec();
    });
    m_list.SetDownloadRunner([this](CQuorvalin& link, const DownloadRequest& request) {
        CTransferProgressDlg dialog(link, m_doc.Timing(), this);
        dialog.SetDownload(request);
        dialog.exec();
        return dialog.GetFile();
    });
    m_list.SetImportConfirm([this](const QString& path) {
        CImportDlg dialog(path, m_launcher, this);
        return dialog.exec() == QDialog::Accepted;
    });

    connect(&doc, &CKestalDoc::changed, this, &CKestalView::OnUpdate);
    // The list's one-second timer: the growing running data log, the idle time-out.
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CKestalView::tick);
    connect(&doc, &CKestalDoc::closing, m_timer, &QTimer::stop);
    if (doc.Timing().fileListTickMs > 0)
        m_timer->start(doc.Timing().fileListTickMs);
    OnUpdate();
}

void CKestalView::OnDailyReports()
{
    m_list.SetReportMode(DataFileList::Daily);
    OnUpdate();
}

void CKestalView::OnMonthlyReports()
{
    m_list.SetReportMode(DataFileList::Monthly);
    OnUpdate();
}

void CKestalView::fill(QTreeWidgetItem& item, const FileRow& row) const
{
    item.setIcon(ColIcon, m_icons[row.icon >= 4 ? 2 : row.icon >= 3 ? 1 : 0]);
    item.setText(ColStart, row.startText);
    item.setText(ColStop, row.stopText);
    item.setText(ColSize, row.sizeText);
    item.setText(ColName, row.name);
    item.setText(ColPcFile, row.pcFile);
    item.setText(ColStatus, row.status);
    item.setText(ColSerial, row.serialText);
    item.setText(ColSpan, row.spanText);
    if (m_list.IsInstrumentListing())
        item.setData(ColIcon, Qt::UserRole, row.start);
}

void CKestalView::showRows()
{
    clear();
    QList<QTreeWidgetItem*> items;
    for (const FileRow& row : m_list.Rows()) {
        auto* item = new QTreeWidgetItem;
        fill(*item, row);
        // A merged month keeps all its names in one cell; the row stays one line high.
        item->setData(ColPcFile, Qt::SizeHintRole,
                      QSize(fontMetrics().horizontalAdvance(row.pcFile.section('\n', 0, 0)) + 8,
                            fontMetrics().height() + 2));
        for (int c : {ColSize, ColSerial, ColSpan})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    addTopLevelItems(items);
    if (!items.isEmpty())
        scrollToItem(items.last());
    viewport()->update(); // the note of an empty instrument listing
}

void CKestalView::showRow(int row)
{
    if (QTreeWidgetItem* item = topLevelItem(row))
        fill(*item, m_list.Rows()[size_t(row)]);
}

void CKestalView::autoSize()
{
    if (m_sizing)
        return;
    m_sizing = true;
    QHeaderView* head = header();
    for (int c = 0; c < columnCount(); ++c) {
        if (c >= ColPcFile) {
            // Kept for the commands; the user may drag them open.
            head->resizeSection(c, 0);
            continue;
        }
        const int h = head->sectionSizeHint(c);
        const int content = sizeHintForColumn(c);
        if (c == ColStart || c == ColStop)
            head->resizeSection(c, h > content ? 0 : content);
        else
            head->resizeSection(c, h > content ? h + h / 2 : content);
    }
    for (const auto& [column, width] : m_userWidths)
        head->resizeSection(column, width);
    m_sizing = false;
}

void CKestalView::SaveColumnWidths(QSettings& settings) const
{
    settings.remove(QLatin1String(kColumnWidthsGroup));
    settings.beginGroup(QLatin1String(kColumnWidthsGroup));
    for (const auto& [column, width] : m_userWidths)
        settings.setValue(QString::number(column), width);
    settings.endGroup();
}

void CKestalView::RestoreColumnWidths(QSettings& settings)
{
    // A width wider than a wide screen is a damaged setting, not a choice.
    const int widest = 10000;
    settings.beginGroup(QLatin1String(kColumnWidthsGroup));
    for (const QString& key : settings.childKeys()) {
        bool columnOk = false, widthOk = false;
        const int column = key.toInt(&columnOk);
        const int width = settings.value(key).toInt(&widthOk);
        if (columnOk && widthOk && column >= 0 && column < columnCount() && width >= 0 && width <= widest)
            m_userWidths[column] = width;
    }
    settings.endGroup();
    autoSize();
}

std::vector<int> CKestalView::selectedRows() const
{
    std::vector<int> rows;
    for (int row = 0; row < topLevelItemCount(); ++row)
        if (topLevelItem(row)->isSelected())
            rows.push_back(row);
    return rows;
}

void CKestalView::paintEvent(QPaintEvent* event)
{
    QTreeWidget::paintEvent(event);
    if (topLevelItemCount() > 0 || m_list.Note().isEmpty())
        return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               m_list.Note());
}

bool CKestalView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == header()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)
            m_headerPressed = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            m_headerPressed = false;
    }
    return QTreeWidget::eventFilter(watched, event);
}

void CKestalView::OnCopy()
{
    if (std::unique_ptr<QMimeData> data = m_list.Copy(selectedRows()))
        QApplication::clipboard()->setMimeData(data.release());
}

void CKestalView::OnExportedData()
{
    const QString folder = m_doc.GetExportFolderPath();
    if (!folder.isEmpty())
        OpenOnDesktop(folder);
}

QMenu* CKestalView::contextMenu()
{
    const bool connected = m_doc.IsConnected();
    if (m_menu && m_menuConnected == connected)
        return m_menu;
    delete m_menu;
    m_menu = new QMenu(this);
    m_menuConnected = connected;
    if (connected) {
        m_menu->addAction(QStringLiteral("&Transfer marked file(s)"), this, &CKestalView::transferMarkedRequested);
        m_menu->addSeparator();
    }
    m_menu->addAction(QStringLiteral("&View"), this, &CKestalView::OnView);
    m_menu->addAction(QStringLiteral("&View (Graphics)"), this, &CKestalView::OnViewGraphics);
    if (!connected)
        m_menu->addAction(QStringLiteral("&Convert ..."), this, &CKestalView::OnConvert);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("&Copy"), this, &CKestalView::OnCopy);
    return m_menu;
}

void CKestalView::showContextMenu(const QPoint& pos)
{
    contextMenu()->popup(viewport()->mapToGlobal(pos));
}

} // namespace varno::kestal

#include "KestalView.h"

#include "Desktop.h"
#include "FinalName.h"
#include "Import.h"
#include "ImportDlg.h"
#include "KestalDoc.h"
#include "Launcher.h"
#include "LocalFiles.h"

#include <Text.h>
#include <UserInteraction.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>

namespace {

const QString kCaption = QStringLiteral("kestal");

void tell(const QString& text)
{
    varno::userInteraction().message(text, kCaption, varno::UserInteraction::Icon::Warning);
}

} // namespace

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

CKestalView::CKestalView(CKestalDoc& doc, const kestal::Launcher& launcher, QWidget* parent)
    : QTreeWidget(parent)
    , m_doc(doc)
    , m_launcher(launcher)
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
    connect(this, &QWidget::customContextMenuRequested, this, &CKestalView::showContextMenu);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { ViewRow(indexOfTopLevelItem(item)); });
    connect(&doc, &CKestalDoc::changed, this, &CKestalView::OnUpdate);
    // The list's one-second timer: the idle time-out of a modem line.
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CKestalView::tick);
    connect(&doc, &CKestalDoc::closing, m_timer, &QTimer::stop);
    if (doc.Timing().fileListTickMs > 0)
        m_timer->start(doc.Timing().fileListTickMs);
    m_importConfirm = [this](const QString& path) {
        CImportDlg dialog(path, m_launcher, this);
        return dialog.exec() == QDialog::Accepted;
    };
    OnUpdate();
}

void CKestalView::tick()
{
    m_doc.CheckIdle();
}

void CKestalView::OnUpdate()
{
    if (m_doc.IsConnected()) {
        // The instrument's listing belongs to the connection.
        clear();
        return;
    }
    localListing();
}

void CKestalView::OnDailyReports()
{
    m_reportMode = Daily;
    OnUpdate();
}

void CKestalView::OnMonthlyReports()
{
    m_reportMode = Monthly;
    OnUpdate();
}

void CKestalView::localListing()
{
    clear();
    const QString folder = m_doc.GetDataFolderPath();
    if (folder.isEmpty())
        return;
    std::vector<kestal::LocalFile> files = kestal::LocalScan(folder);
    // Files left under a temporary name ("~") get their proper names, once per listing.
    const kestal::Identifier identify = [](const QString& path, kestal::Identity& id) {
        const kestal::IdentifiedLog log = kestal::IdentifyDataLog(path);
        id.start = log.record.start;
        id.length = log.record.length;
        id.finalName = kestal::FinalFileName(log);
        return true;
    };
    if (kestal::RenamePass(folder, files, identify) > 0)
        files = kestal::LocalScan(folder);
    if (m_reportMode == Monthly)
        kestal::MergeMonths(files);

    QList<QTreeWidgetItem*> rows;
    for (const kestal::LocalFile& f : files) {
        auto* row = new QTreeWidgetItem;
        row->setIcon(ColIcon, StateIcon(4));
        row->setText(ColStart, varno::textFromBytes(f.startText));
        row->setText(ColStop, varno::textFromBytes(f.stopText));
        row->setText(ColSpan, QString::number(f.length));
        row->setText(ColSize, QString::number(f.size));
        row->setText(ColName, varno::textFromBytes(f.text));
        row->setText(ColSerial, QString::number(f.serial));
        row->setText(ColPcFile, f.names.join('\n'));
        // A merged month keeps all its names in one cell; the row stays one line high.
        row->setData(ColPcFile, Qt::SizeHintRole,
                     QSize(fontMetrics().horizontalAdvance(f.names.value(0)) + 8,
                           fontMetrics().height() + 2));
        row->setText(ColStatus, QStringLiteral("ok"));
        for (int c : {ColSize, ColSerial, ColSpan})
            row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        rows.append(row);
    }
    addTopLevelItems(rows);
    autoSize();
    if (!rows.isEmpty())
        scrollToItem(rows.last());
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
    m_sizing = false;
}

QString CKestalView::FindLocalFiles(int row, bool /*transferIfMissing*/, bool combine)
{
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return QString();
    const QString pcFile = item->text(ColPcFile);
    // Rows without local files come only from the instrument, whose transfer belongs to
    // the connection.
    if (pcFile.isEmpty() || m_doc.GetSelectedStation() < 0)
        return QString();
    return kestal::LocalFilePaths(m_doc.GetDataFolderPath(), pcFile, combine);
}

QStringList CKestalView::collect(bool transferIfMissing, bool combine)
{
    QStringList paths;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (!topLevelItem(row)->isSelected())
            continue;
        const QString found = FindLocalFiles(row, transferIfMissing, combine);
        if (!found.isEmpty())
            paths.append(found.split('\n'));
    }
    return paths;
}

void CKestalView::OnView()
{
    const QStringList paths = collect(true, true);
    if (paths.isEmpty())
        tell(QStringLiteral("No items were selected"));
    else if (!m_launcher.ViewFiles(paths))
        tell(QStringLiteral("Unable to open Data Viewer"));
}

void CKestalView::OnViewGraphics()
{
    const QStringList paths = collect(true, false);
    if (paths.isEmpty())
        tell(QStringLiteral("No items were selected"));
    else if (!m_launcher.PlotFiles(paths))
        tell(QStringLiteral("Unable to open Data Viewer"));
}

void CKestalView::OnConvert()
{
    if (m_doc.IsConnected() || m_doc.GetSelectedStation() < 0)
        return;
    const QStringList paths = collect(true, true);
    if (paths.isEmpty())
        tell(QStringLiteral("No items were selected"));
    else if (!m_launcher.ConvertFiles(paths, m_doc.GetExportFolderPath()))
        tell(QStringLiteral("Unable to call Data Converter"));
}

void CKestalView::OnCopy()
{
    const QStringList paths = collect(true, false);
    if (paths.isEmpty()) {
        tell(QStringLiteral("No items were selected"));
        return;
    }
    QList<QUrl> urls;
    QByteArray gnome("copy");
    for (const QString& p : paths) {
        urls.append(QUrl::fromLocalFile(p));
        gnome += "\n" + urls.last().toEncoded();
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    data->setText(paths.join('\n'));
    QApplication::clipboard()->setMimeData(data);
}

void CKestalView::ViewRow(int row)
{
    if (row < 0)
        return;
    const QString found = FindLocalFiles(row, true, true);
    if (found.isEmpty())
        return;
    if (!m_launcher.ViewFiles(found.split('\n')))
        tell(QStringLiteral("Unable to open Data Viewer"));
}

void CKestalView::OnExportedData()
{
    const QString folder = m_doc.GetExportFolderPath();
    if (!folder.isEmpty())
        kestal::OpenOnDesktop(folder);
}

void CKestalView::OnImport()
{
    if (m_doc.IsConnected())
        return;
    const QString folder = m_doc.GetDataFolderPath();
    if (folder.isEmpty())
        return; // no station: nowhere to import to
    const QStringList chosen = varno::userInteraction().openFileNames(
        QStringLiteral("Open"), QDir::homePath(), QString::fromLatin1(varno::kDataFileFilter));
    for (const QString& path : chosen) {
        if (!m_importConfirm(path)) {
            varno::userInteraction().message(QStringLiteral("File Import Canceled"), kCaption);
            continue;
        }
        QString message;
        if (kestal::ImportDataLog(path, folder, &message) == kestal::ImportResult::Failed)
            tell(message);
    }
    OnUpdate();
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

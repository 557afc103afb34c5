#include <kestal/dialogs/MainFrame.h>

#include <kestal/dialogs/InstrumentPanel.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/KestalView.h>

#include <qtsupport/UserInteraction.h>
#include <qtsupport/WindowPlacement.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QPainter>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace varno::kestal {

CMainFrame::CMainFrame(CKestalDoc& doc, CKestalView* fileList, QWidget* parent)
    : QMainWindow(parent)
    , m_doc(doc)
    , m_left(new CLeftView(doc))
    , m_fileList(fileList)
    , m_splitter(new QSplitter(Qt::Horizontal, this))
{
    setWindowTitle(doc.GetTitle().isEmpty() ? QStringLiteral("kestal")
                                            : doc.GetTitle() + QStringLiteral(" - kestal"));
    m_splitter->addWidget(m_left);
    m_splitter->addWidget(m_fileList);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({350, 100});
    m_splitter->setChildrenCollapsible(false);
    setCentralWidget(m_splitter);

    buildActions();
    buildMenus();
    buildToolBar();
    statusBar()->showMessage(QStringLiteral("Ready"));

    // Copy also on Ctrl+Insert; F6 / Shift+F6 move between the panes.
    auto* copyInsert = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert), this);
    connect(copyInsert, &QShortcut::activated, this, [this] { Execute(ID_EDIT_COPY); });
    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(next, &QShortcut::activated, this, [this] { switchPane(true); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    connect(previous, &QShortcut::activated, this, [this] { switchPane(false); });

    connect(m_left->panel(), &CInstrumentPanel::connectRequested, this, [this] { Execute(ID_CONNECT); });
    connect(m_left->panel(), &CInstrumentPanel::editStationRequested, this,
            [this] { Execute(ID_EDIT_STATION); });
    connect(m_fileList, &CKestalView::transferMarkedRequested, this, [this] { Execute(ID_TRANSFER); });
    connect(&doc, &CKestalDoc::changed, this, &CMainFrame::UpdateActions);
    connect(&doc, &CKestalDoc::titleChanged, this, [this](const QString& title) {
        setWindowTitle(title.isEmpty() ? QStringLiteral("kestal") : title + QStringLiteral(" - kestal"));
    });
    UpdateActions();
}

void CMainFrame::RestoreLayout(QSettings& settings)
{
    qtsupport::restoreWindowPlacement(*this, settings, FirstSize());
    const QVariantList sizes = settings.value(QStringLiteral("window/splitter")).toList();
    const int left = sizes.value(0).toInt();
    const int right = sizes.value(1).toInt();
    if (sizes.size() == 2 && left > 0 && right > 0)
        m_splitter->setSizes({left, right});
    m_fileList->RestoreColumnWidths(settings);
}

void CMainFrame::SaveLayout(QSettings& settings) const
{
    qtsupport::saveWindowPlacement(*this, settings);
    QVariantList sizes;
    for (int size : m_splitter->sizes())
        sizes.append(size);
    settings.setValue(QStringLiteral("window/splitter"), sizes);
    m_fileList->SaveColumnWidths(settings);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    QSettings settings;
    SaveLayout(settings);
    QMainWindow::closeEvent(event);
}

QIcon CMainFrame::commandIcon(int id) const
{
    QStyle* s = style();
    switch (id) {
    case ID_CONNECT: return s->standardIcon(QStyle::SP_DialogYesButton);
    case ID_DISCONNECT: return s->standardIcon(QStyle::SP_DialogNoButton);
    case ID_LOGIN: return s->standardIcon(QStyle::SP_DialogApplyButton);
    case ID_SETUP: return s->standardIcon(QStyle::SP_FileDialogDetailedView);
    case ID_EDIT_COPY: return s->standardIcon(QStyle::SP_FileDialogNewFolder);
    case ID_APP_ABOUT: return s->standardIcon(QStyle::SP_MessageBoxInformation);
    case ID_MONTHLY_REPORTS:
    case ID_DAILY_REPORTS: {
        QPixmap pixmap(33, 15);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setPen(QColor(40, 40, 40));
        QFont font = p.font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.drawText(pixmap.rect(), Qt::AlignCenter, id == ID_MONTHLY_REPORTS ? "M" : "D");
        p.drawRect(0, 0, 32, 14);
        return QIcon(pixmap);
    }
    default: return QIcon();
    }
}

void CMainFrame::buildActions()
{
    for (const CommandInfo& c : Commands()) {
        auto* a = new QAction(QString::fromLatin1(c.label), this);
        a->setStatusTip(QString::fromLatin1(c.prompt));
        if (*c.tooltip)
            a->setToolTip(QString::fromLatin1(c.tooltip));
        if (*c.shortcut)
            a->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
        a->setIcon(commandIcon(c.id));
        a->setIconVisibleInMenu(false);
        const int id = c.id;
        connect(a, &QAction::triggered, this, [this, id] { Execute(id); });
        addAction(a); // shortcuts work without a menu item
        m_actions[c.id] = a;
    }
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        m_actions[id]->setCheckable(true);
        m_actions[id]->setChecked(true);
    }
}

void CMainFrame::buildMenus()
{
    for (const MenuInfo& m : Menus()) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(m.title));
        for (int id : m.items) {
            if (id == 0)
                menu->addSeparator();
            else
                menu->addAction(m_actions[id]);
        }
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateActions);
    }
}

void CMainFrame::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setIconSize(QSize(33, 15));
    for (int id : ToolbarButtons()) {
        if (id == 0)
            m_toolBar->addSeparator();
        else
            m_toolBar->addAction(m_actions[id]);
    }
}

QAction* CMainFrame::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

CommandState CMainFrame::State() const
{
    CommandState s;
    s.connected = m_doc.IsConnected();
    s.stationSelected = m_doc.GetSelectedStation() >= 0;
    s.statusFlags = m_doc.GetStatusFlags();
    s.fileListView = m_fileList != nullptr;
    return s;
}

void CMainFrame::UpdateActions()
{
    const CommandState s = State();
    for (auto& [id, a] : m_actions)
        a->setEnabled(IsCommandEnabled(id, s));
}

void CMainFrame::switchPane(bool /*forward*/)
{
    // Two panes: either direction goes to the other one.
    if (m_fileList->hasFocus() || m_fileList->isAncestorOf(QApplication::focusWidget()))
        m_left->panel()->FocusList();
    else
        m_fileList->setFocus();
}

void CMainFrame::Execute(int id)
{
    if (!IsCommandEnabled(id, State()))
        return;
    switch (id) {
    case ID_APP_EXIT: close(); break;
    case ID_ADD_STATION: m_doc.OnAddStation(); break;
    case ID_EDIT_STATION: m_doc.OnEditStation(); break;
    case ID_DELETE_STATION: m_doc.OnDeleteStation(); break;
    case ID_FILE_NEW: m_doc.OnNewDocument(); break;
    case ID_FILE_OPEN: {
        const QString path = qtsupport::userInteraction().openFileName(
            QStringLiteral("Open"), QString(), QStringLiteral("Varno Station List (*.vsl);;All Files (*)"));
        if (!path.isEmpty())
            m_doc.OpenDocument(path);
        break;
    }
    case ID_FILE_SAVE: {
        const QString path = qtsupport::userInteraction().saveFileName(
            QStringLiteral("Save As"), QStringLiteral("Kestal.vsl"),
            QStringLiteral("Varno Station List (*.vsl);;All Files (*)"));
        if (!path.isEmpty())
            m_doc.SaveDocument(path);
        break;
    }
    case ID_VIEW_TOOLBAR: m_toolBar->setVisible(m_actions[id]->isChecked()); break;
    case ID_VIEW_STATUS_BAR: statusBar()->setVisible(m_actions[id]->isChecked()); break;
    case ID_TRANSFER: m_fileList->OnTransferMarked(); break;
    case ID_TRANSFER_NEW: m_fileList->OnTransferNew(); break;
    case ID_VIEW: m_fileList->OnView(); break;
    case ID_VIEW_GRAPHICS: m_fileList->OnViewGraphics(); break;
    case ID_CONVERT: m_fileList->OnConvert(); break;
    case ID_COPY_CLIPBOARD:
    case ID_EDIT_COPY: m_fileList->OnCopy(); break;
    case ID_IMPORT: m_fileList->OnImport(); break;
    case ID_FOLDER_EXPORT: m_fileList->OnExportedData(); break;
    case ID_MONTHLY_REPORTS: m_fileList->OnMonthlyReports(); break;
    case ID_DAILY_REPORTS: m_fileList->OnDailyReports(); break;
    case ID_FOLDER_DOCUMENTS:
    case ID_PREFERENCES:
    case ID_MANUAL:
    case ID_APP_ABOUT:
        if (m_appCommands)
            m_appCommands(id);
        break;
    default:
        if (m_connectionCommands)
            m_connectionCommands(id);
        break;
    }
    UpdateActions();
}

} // namespace varno::kestal

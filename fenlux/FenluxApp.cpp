#include <fenlux/FenluxApp.h>

#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxParse.h>
#include <fenlux/FenluxPicture.h>
#include <fenlux/FenluxReader.h>
#include <fenlux/FenluxView.h>
#include <fenlux/FenluxWindView.h>

#include <qtsupport/UserInteraction.h>
#include <qtsupport/WindowPlacement.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QProgressDialog>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWhatsThis>

#include <qwt_plot.h>

namespace varno::fenlux {

namespace {

bool samePath(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    if (a.isEmpty() || b.isEmpty() || a == QLatin1String("-") || b == QLatin1String("-"))
        return false;
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

} // namespace

FenluxApp::FenluxApp()
{
    setWindowTitle(QStringLiteral("Fenlux 0.9"));
    FenluxReader::writeDefaults();

    auto* box = new QFrame(this);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(1, 1, 1, 1);
    m_workspace = new QMdiArea(box);
    layout->addWidget(m_workspace);
    setCentralWidget(box);

    initActions();
    initMenuBar();
    initToolBar();
    initStatusBar();
    resize(450, 400);
    m_viewToolBar->setChecked(true);
    m_viewStatusBar->setChecked(true);
    setAcceptDrops(true);
    connect(m_workspace, &QMdiArea::subWindowActivated, this, &FenluxApp::updateWindowActions);
    updateWindowActions();
}

FenluxApp::~FenluxApp()
{
    // Views go first: they draw from the documents' columns.
    m_workspace->closeAllSubWindows();
    for (QMdiSubWindow* sub : m_workspace->subWindowList())
        delete sub;
    qDeleteAll(m_documents);
    m_documents.clear();
}

QPrinter* FenluxApp::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    return m_printer.get();
}

void FenluxApp::initActions()
{
    auto make = [this](const QString& name, const QString& menuText, const QKeySequence& key,
                       const QString& tip, const QString& help) {
        auto* a = new QAction(menuText, this);
        a->setObjectName(name);
        a->setIconText(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        a->setStatusTip(tip);
        a->setWhatsThis(help);
        m_actions.append(a);
        addAction(a);
        return a;
    };
    m_fileOpen = make(QStringLiteral("Open File"), QStringLiteral("&Open..."), QKeySequence(),
                      QStringLiteral("Opens an existing document"),
                      QStringLiteral("Open File\n\nOpens an existing document"));
    m_fileOpen->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    connect(m_fileOpen, &QAction::triggered, this, &FenluxApp::slotFileOpen);
    m_fileSave = make(QStringLiteral("Save File"), QStringLiteral("&Save"),
                      QKeySequence(QStringLiteral("Ctrl+S")),
                      QStringLiteral("Saves the actual document"),
                      QStringLiteral("Save File.\n\nSaves the actual document"));
    m_fileSave->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    connect(m_fileSave, &QAction::triggered, this, &FenluxApp::slotFileSave);
    m_fileSaveAs = make(QStringLiteral("Save File As"), QStringLiteral("Save &as..."), QKeySequence(),
                        QStringLiteral("Saves the actual document under a new filename"),
                        QStringLiteral("Save As\n\nSaves the actual document under a new filename"));
    connect(m_fileSaveAs, &QAction::triggered, this, &FenluxApp::slotFileSaveAs);
    m_fileClose = make(QStringLiteral("Close File"), QStringLiteral("&Close"),
                       QKeySequence(QStringLiteral("Ctrl+W")),
                       QStringLiteral("Closes the actual document"),
                       QStringLiteral("Close File\n\nCloses the actual document"));
    connect(m_fileClose, &QAction::triggered, this, &FenluxApp::slotFileClose);
    m_filePrint = make(QStringLiteral("Print File"), QStringLiteral("&Print"),
                       QKeySequence(QStringLiteral("Ctrl+P")),
                       QStringLiteral("Prints out the actual document"),
                       QStringLiteral("Print File\n\nPrints out the actual document"));
    connect(m_filePrint, &QAction::triggered, this, &FenluxApp::slotFilePrint);
    m_fileQuit = make(QStringLiteral("Exit"), QStringLiteral("E&xit"),
                      QKeySequence(QStringLiteral("Ctrl+Q")),
                      QStringLiteral("Quits the application"),
                      QStringLiteral("Exit\n\nQuits the application"));
    connect(m_fileQuit, &QAction::triggered, this, &FenluxApp::slotFileQuit);
    m_editCut = make(QStringLiteral("Cut"), QStringLiteral("Cu&t"),
                     QKeySequence(QStringLiteral("Ctrl+X")),
                     QStringLiteral("Cuts the selected section and puts it to the clipboard"),
                     QStringLiteral("Cut\n\nCuts the selected section and puts it to the clipboard"));
    connect(m_editCut, &QAction::triggered, this, &FenluxApp::slotEditCut);
    m_editCopy = make(QStringLiteral("Copy"), QStringLiteral("&Copy"),
                      QKeySequence(QStringLiteral("Ctrl+C")),
                      QStringLiteral("Copies the selected section to the clipboard"),
                      QStringLiteral("Copy\n\nCopies the selected section to the clipboard"));
    connect(m_editCopy, &QAction::triggered, this, &FenluxApp::slotEditCopy);
    m_editUndo = make(QStringLiteral("Undo"), QStringLiteral("&Undo"),
                      QKeySequence(QStringLiteral("Ctrl+Z")),
                      QStringLiteral("Reverts the last editing action"),
                      QStringLiteral("Undo\n\nReverts the last editing action"));
    connect(m_editUndo, &QAction::triggered, this, &FenluxApp::slotEditUndo);
    m_editPaste = make(QStringLiteral("Paste"), QStringLiteral("&Paste"),
                       QKeySequence(QStringLiteral("Ctrl+V")),
                       QStringLiteral("Pastes the clipboard contents to actual position"),
                       QStringLiteral("Paste\n\nPastes the clipboard contents to actual position"));
    connect(m_editPaste, &QAction::triggered, this, &FenluxApp::slotEditPaste);
    m_viewToolBar = make(QStringLiteral("Toolbar"), QStringLiteral("Tool&bar"), QKeySequence(),
                         QStringLiteral("Enables/disables the toolbar"),
                         QStringLiteral("Toolbar\n\nEnables/disables the toolbar"));
    m_viewToolBar->setCheckable(true);
    connect(m_viewToolBar, &QAction::toggled, this, &FenluxApp::slotViewToolBar);
    m_viewStatusBar = make(QStringLiteral("Statusbar"), QStringLiteral("&Statusbar"),
                           QKeySequence(), QStringLiteral("Enables/disables the statusbar"),
                           QStringLiteral("Statusbar\n\nEnables/disables the statusbar"));
    m_viewStatusBar->setCheckable(true);
    connect(m_viewStatusBar, &QAction::toggled, this, &FenluxApp::slotViewStatusBar);
    m_viewWindRose = make(QStringLiteral("Wind Rose"), QStringLiteral("Wind &Rose"), QKeySequence(),
                          QStringLiteral("Shows where the wind comes from in the rows of the current time range"),
                          QStringLiteral("Wind Rose\n\nShows the frequencies of the speed classes per direction "
                                         "sector in the rows of the current time range"));
    connect(m_viewWindRose, &QAction::triggered, this, &FenluxApp::slotViewWindRose);
    m_viewDistribution = make(
        QStringLiteral("Speed Distribution"), QStringLiteral("Speed &Distribution"), QKeySequence(),
        QStringLiteral("Shows the distribution of the wind speed with its Weibull fit"),
        QStringLiteral("Speed Distribution\n\nShows the histogram of the wind speed in the rows of the current "
                       "time range, its Weibull fit and the figures of a site report"));
    connect(m_viewDistribution, &QAction::triggered, this, &FenluxApp::slotViewDistribution);
    m_fileExport = make(QStringLiteral("Export"), QStringLiteral("&Export..."), QKeySequence(),
                        QStringLiteral("Exports the active view as a picture, or its rows as CSV"),
                        QStringLiteral("Export\n\nWrites the active view as a PNG, SVG or PDF picture, or the "
                                       "rows and columns it shows as a CSV file"));
    connect(m_fileExport, &QAction::triggered, this, &FenluxApp::slotFileExport);
    m_windowNewWindow = make(QStringLiteral("New Window"), QStringLiteral("&New Window"),
                             QKeySequence(),
                             QStringLiteral("Opens a new view for the current document"),
                             QStringLiteral("New Window\n\nOpens a new view for the current document"));
    connect(m_windowNewWindow, &QAction::triggered, this, &FenluxApp::slotWindowNewWindow);
    m_windowCascade = make(QStringLiteral("Cascade"), QStringLiteral("&Cascade"), QKeySequence(),
                           QStringLiteral("Cascades all windows"),
                           QStringLiteral("Cascade\n\nCascades all windows"));
    connect(m_windowCascade, &QAction::triggered, m_workspace, &QMdiArea::cascadeSubWindows);
    m_windowTile = make(QStringLiteral("Tile"), QStringLiteral("&Tile"), QKeySequence(),
                        QStringLiteral("Tiles all windows"),
                        QStringLiteral("Tile\n\nTiles all windows"));
    connect(m_windowTile, &QAction::triggered, m_workspace, &QMdiArea::tileSubWindows);
    m_helpAboutApp = make(QStringLiteral("About"), QStringLiteral("&About..."), QKeySequence(),
                          QStringLiteral("About the application"),
                          QStringLiteral("About\n\nAbout the application"));
    connect(m_helpAboutApp, &QAction::triggered, this, &FenluxApp::slotHelpAbout);

    m_windowActions = new QActionGroup(this);
    m_windowActions->setExclusive(false);
    m_windowActions->addAction(m_windowNewWindow);
    m_windowActions->addAction(m_windowCascade);
    m_windowActions->addAction(m_windowTile);
}

void FenluxApp::initMenuBar()
{
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->addAction(m_fileOpen);
    m_fileMenu->addAction(m_fileClose);
    m_fileMenu->addAction(m_fileExport);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(m_fileQuit);

    m_viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu->addAction(m_viewToolBar);
    m_viewMenu->addAction(m_viewStatusBar);
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(m_viewWindRose);
    m_viewMenu->addAction(m_viewDistribution);

    m_windowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
    connect(m_windowMenu, &QMenu::aboutToShow, this, &FenluxApp::windowMenuAboutToShow);

    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    m_helpMenu->addAction(m_helpAboutApp);
    m_helpMenu->addSeparator();
    QAction* whatsThis = QWhatsThis::createAction(this);
    whatsThis->setText(QStringLiteral("What's &This"));
    whatsThis->setShortcut(QKeySequence(QStringLiteral("Shift+F1")));
    m_helpMenu->addAction(whatsThis);
}

void FenluxApp::initToolBar()
{
    m_fileToolbar = addToolBar(QStringLiteral("file operations"));
    m_fileToolbar->setObjectName(QStringLiteral("file operations"));
    m_fileToolbar->addAction(m_fileOpen);
}

void FenluxApp::initStatusBar()
{
    statusBar()->showMessage(QStringLiteral("Ready."));
}

QAction* FenluxApp::action(const QString& name) const
{
    for (QAction* a : m_actions)
        if (a->objectName() == name)
            return a;
    return nullptr;
}

QWidget* FenluxApp::activeWindow() const
{
    QMdiSubWindow* sub = m_workspace->activeSubWindow();
    if (!sub) {
        // Without window focus (no active application window) the last one chosen counts.
        const QList<QMdiSubWindow*> list = m_workspace->subWindowList(QMdiArea::ActivationHistoryOrder);
        if (!list.isEmpty())
            sub = list.last();
    }
    return sub ? sub->widget() : nullptr;
}

FenluxView* FenluxApp::activeView() const
{
    return qobject_cast<FenluxView*>(activeWindow());
}

FenluxDoc* FenluxApp::activeDocument() const
{
    QWidget* window = activeWindow();
    if (auto* view = qobject_cast<FenluxView*>(window))
        return view->document();
    if (auto* wind = qobject_cast<FenluxWindView*>(window))
        return wind->document();
    return nullptr;
}

void FenluxApp::updateWindowActions()
{
    const bool window = activeWindow() != nullptr && m_reading == 0;
    for (QAction* a : {m_fileExport, m_viewWindRose, m_viewDistribution})
        a->setEnabled(window);
}

void FenluxApp::ready()
{
    statusBar()->showMessage(QStringLiteral("Ready."));
}

void FenluxApp::setFileActionsEnabled(bool on)
{
    for (QAction* a : {m_fileOpen, m_fileSave, m_fileSaveAs, m_fileClose, m_filePrint, m_fileQuit,
                       m_windowNewWindow})
        a->setEnabled(on);
    updateWindowActions();
}

void FenluxApp::addWindow(QWidget* widget)
{
    const bool first = m_workspace->subWindowList().isEmpty()
                       || std::none_of(m_workspace->subWindowList().begin(),
                                       m_workspace->subWindowList().end(),
                                       [](QMdiSubWindow* s) { return s->isVisible(); });
    QMdiSubWindow* sub = m_workspace->addSubWindow(widget);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(this);
    if (first)
        sub->showMaximized();
    else
        sub->show();
    m_workspace->setActiveSubWindow(sub);
}

FenluxView* FenluxApp::createClient(FenluxDoc* doc)
{
    auto* view = new FenluxView(doc);
    doc->addView(view);
    addWindow(view);
    return view;
}

FenluxWindView* FenluxApp::createWindView(bool rose)
{
    QWidget* active = activeWindow();
    FenluxDoc* doc = activeDocument();
    if (!doc)
        return nullptr;
    // The rows of the plot view, or of the plot view that the active wind window follows.
    FenluxView* source = qobject_cast<FenluxView*>(active);
    if (auto* wind = qobject_cast<FenluxWindView*>(active))
        source = wind->source();
    if (!source && !doc->views().isEmpty())
        source = doc->views().front();
    FenluxWindView* view = rose ? static_cast<FenluxWindView*>(new FenluxRoseView(doc, source))
                                : new FenluxDistributionView(doc, source);
    addWindow(view);
    return view;
}

QList<QMdiSubWindow*> FenluxApp::windWindowsOf(const FenluxDoc* doc, const QMdiSubWindow* skip) const
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : m_workspace->subWindowList()) {
        const auto* wind = qobject_cast<FenluxWindView*>(sub->widget());
        if (sub != skip && wind && wind->document() == doc)
            windows.append(sub);
    }
    return windows;
}

FenluxDoc* FenluxApp::openDocumentFile(const QString& path)
{
    // 1. Already open: only the focus moves.
    if (!path.isEmpty()) {
        for (FenluxDoc* doc : m_documents) {
            if (samePath(doc->pathName(), path) && !doc->views().isEmpty()) {
                FenluxView* view = doc->views().front();
                if (auto* sub = qobject_cast<QMdiSubWindow*>(view->parentWidget()))
                    m_workspace->setActiveSubWindow(sub);
                view->setFocus();
                return nullptr;
            }
        }
    }

    // 2., 3., 4.
    auto* doc = new FenluxDoc(this);
    doc->newDocument();
    bool ok = true;
    if (path.isEmpty()) {
        ++m_untitledCount;
        const QString name = QStringLiteral("Untitled%1").arg(m_untitledCount);
        doc->setPathName(name);
        doc->setTitle(name);
    } else {
        ++m_reading;
        setFileActionsEnabled(false);
        connect(this, &FenluxApp::signalAbortOpenDocument, doc, &FenluxDoc::slotAbortOpen);
        ok = doc->openFile(path);
        disconnect(this, &FenluxApp::signalAbortOpenDocument, doc, nullptr);
        --m_reading;
        setFileActionsEnabled(m_reading == 0);
    }

    // 5.
    if (!ok) {
        qtsupport::userInteraction().message(QStringLiteral("Could not open document !"),
                                         QStringLiteral("Error !"),
                                         qtsupport::UserInteraction::Icon::Critical);
        delete doc;
        doc = nullptr;
    } else {
        m_documents.append(doc);
        createClient(doc);
    }
    if (m_closeWhenRead && m_reading == 0)
        QTimer::singleShot(0, this, &QWidget::close);
    return doc;
}

void FenluxApp::openStartupFiles(const QStringList& files)
{
    if (files.isEmpty()) {
        slotFileOpen();
        return;
    }
    QProgressDialog progress(QStringLiteral("Reading Measurement Data..."), QStringLiteral("Cancel"), 0,
                             files.size() + 1, this);
    progress.setMinimumDuration(0);
    connect(&progress, &QProgressDialog::canceled, this, &FenluxApp::slotAbortOpenDocument);
    progress.show();
    for (int i = 0; i < files.size(); ++i) {
        progress.setValue(i + 1);
        openDocumentFile(files[i]);
        const bool aborted = m_abort;
        m_abort = false;
        if (aborted) {
            qtsupport::userInteraction().message(QStringLiteral("Canceled"), QStringLiteral("Canceled"),
                                             qtsupport::UserInteraction::Icon::Information);
            break;
        }
    }
    joinDocuments();
    progress.close();
}

bool FenluxApp::closeViews(FenluxDoc* doc)
{
    for (QMdiSubWindow* sub : windWindowsOf(doc))
        sub->close();
    // Each closed view leaves the document's list: walk a copy.
    const QList<FenluxView*> views = doc->views();
    for (FenluxView* view : views)
        if (!view->closeWindow())
            return false;
    return true;
}

void FenluxApp::showSaveFailed()
{
    qtsupport::userInteraction().message(QStringLiteral("Could not save the current document !"),
                                     QStringLiteral("I/O Error !"),
                                     qtsupport::UserInteraction::Icon::Critical);
}

void FenluxApp::removeDocument(FenluxDoc* doc)
{
    if (m_documents.removeAll(doc) > 0)
        doc->deleteLater();
}

void FenluxApp::joinDocuments()
{
    bool joined = true;
    while (joined) {
        joined = false;
        for (int a = 0; a < m_documents.size() && !joined; ++a) {
            for (int b = 0; b < m_documents.size() && !joined; ++b) {
                FenluxDoc* first = m_documents[a];
                FenluxDoc* second = m_documents[b];
                if (first == second || first->title() != second->title()
                    || first->headerLine() != second->headerLine())
                    continue;
                const double last = first->lastTime();
                const double start = second->data().startBeforeFirst();
                if (!(start <= last + 600 && start > last - 60))
                    continue;
                statusBar()->showMessage(
                    QStringLiteral("Appending ")
                    + QString::fromStdString(timeText(start, true, ' ')) + QStringLiteral(" - ")
                    + QString::fromStdString(timeText(last, true, ' ')) + QLatin1Char(' ')
                    + second->title());
                if (!first->appendDocument(second))
                    continue;
                // The views draw from the columns that just grew.
                first->updateAllViews(nullptr);
                closeViews(second);
                removeDocument(second);
                joined = true;
            }
        }
    }
    for (FenluxDoc* doc : m_documents) {
        statusBar()->showMessage(QStringLiteral("Processing ") + doc->title());
        doc->updateAllViews(nullptr);
    }
}

void FenluxApp::windowMenuAboutToShow()
{
    m_windowMenu->clear();
    m_windowMenu->addAction(m_windowNewWindow);
    m_windowMenu->addAction(m_windowCascade);
    m_windowMenu->addAction(m_windowTile);
    const QList<QMdiSubWindow*> windows = m_workspace->subWindowList();
    m_windowActions->setEnabled(!windows.isEmpty());
    if (m_reading > 0)
        m_windowNewWindow->setEnabled(false);
    m_windowMenu->addSeparator();
    QMdiSubWindow* active = m_workspace->activeSubWindow();
    for (int i = 0; i < windows.size(); ++i) {
        QAction* item = m_windowMenu->addAction(QStringLiteral("&%1 ").arg(i + 1) + windows[i]->windowTitle());
        item->setCheckable(true);
        item->setChecked(windows[i] == active);
        connect(item, &QAction::triggered, this, [this, i] { windowMenuActivated(i); });
    }
}

void FenluxApp::windowMenuActivated(int index)
{
    const QList<QMdiSubWindow*> windows = m_workspace->subWindowList();
    if (index < 0 || index >= windows.size())
        return;
    m_workspace->setActiveSubWindow(windows[index]);
    if (QWidget* widget = windows[index]->widget())
        widget->setFocus();
}

bool FenluxApp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(watched)) {
            // A document lives while a plot view, a rose or a distribution shows it.
            auto* view = qobject_cast<FenluxView*>(sub->widget());
            auto* wind = qobject_cast<FenluxWindView*>(sub->widget());
            FenluxDoc* doc = view ? view->document() : wind ? wind->document() : nullptr;
            if (doc && m_documents.contains(doc)) {
                if (view) {
                    if (doc->isLastView() && doc->isModified()) {
                        event->ignore();
                        return true;
                    }
                    doc->removeView(view);
                }
                if (doc->views().isEmpty() && windWindowsOf(doc, sub).isEmpty())
                    removeDocument(doc);
            }
            event->accept();
            return false;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void FenluxApp::closeEvent(QCloseEvent* event)
{
    if (m_reading > 0) {
        // Reading runs inside this window's call; stop it and close once it returned.
        m_closeWhenRead = true;
        slotAbortOpenDocument();
        event->ignore();
        return;
    }
    QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
    qtsupport::saveWindowPlacement(*this, settings);
    QMainWindow::closeEvent(event);
}

void FenluxApp::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_reading == 0 && event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    QMainWindow::dragEnterEvent(event);
}

void FenluxApp::dropEvent(QDropEvent* event)
{
    if (m_reading > 0 || !event->mimeData()->hasUrls())
        return;
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    statusBar()->showMessage(QStringLiteral("Opening file..."));
    for (const QString& file : files)
        openDocumentFile(file);
    joinDocuments();
    ready();
}

void FenluxApp::slotAbortOpenDocument()
{
    m_abort = true;
    emit signalAbortOpenDocument();
}

void FenluxApp::slotFileNew()
{
    statusBar()->showMessage(QStringLiteral("Creating new file..."));
    openDocumentFile();
    ready();
}

void FenluxApp::slotFileOpen()
{
    if (m_reading > 0)
        return;
    statusBar()->showMessage(QStringLiteral("Opening file..."));
    const QString file = qtsupport::userInteraction().openFileName(
        QString(), QString(),
        QStringLiteral("Measurement Data Files (*.csv *.vrn);;Comma Separated Values "
                       "(*.csv);;All Files(*)"));
    if (!file.isEmpty()) {
        openDocumentFile(file);
        joinDocuments();
    }
    ready();
}

void FenluxApp::slotFileSave()
{
    statusBar()->showMessage(QStringLiteral("Saving file..."));
    if (FenluxDoc* doc = activeDocument()) {
        if (doc->title().contains(QStringLiteral("Untitled"), Qt::CaseSensitive)) {
            slotFileSaveAs();
        } else {
            // Documents are read-only measurements: nothing is written.
            showSaveFailed();
        }
    }
    ready();
}

void FenluxApp::slotFileSaveAs()
{
    statusBar()->showMessage(QStringLiteral("Saving file under new filename..."));
    const QString name = qtsupport::userInteraction().saveFileName(QString(), QString(), QString());
    if (!name.isEmpty() && activeWindow()) {
        showSaveFailed();
        return;
    }
    ready();
}

void FenluxApp::slotFileClose()
{
    statusBar()->showMessage(QStringLiteral("Closing file..."));
    if (FenluxDoc* doc = activeDocument())
        closeViews(doc);
    ready();
}

void FenluxApp::slotFilePrint()
{
    statusBar()->showMessage(QStringLiteral("Printing..."));
    if (FenluxView* view = activeView())
        view->print(printer());
    else if (auto* wind = qobject_cast<FenluxWindView*>(activeWindow()))
        printPlot(wind->plot(), printer());
    ready();
}

void FenluxApp::slotFileQuit()
{
    statusBar()->showMessage(QStringLiteral("Exiting application..."));
    if (m_reading > 0)
        return;
    close();
    qApp->quit();
}

void FenluxApp::slotEditUndo()
{
    statusBar()->showMessage(QStringLiteral("Reverting last action..."));
    if (activeWindow())
        ready();
}

void FenluxApp::slotEditCut()
{
    statusBar()->showMessage(QStringLiteral("Cutting selection..."));
    if (activeWindow())
        ready();
}

void FenluxApp::slotEditCopy()
{
    statusBar()->showMessage(QStringLiteral("Copying selection to clipboard..."));
    if (activeWindow())
        ready();
}

void FenluxApp::slotEditPaste()
{
    statusBar()->showMessage(QStringLiteral("Inserting clipboard contents..."));
    if (activeWindow())
        ready();
}

void FenluxApp::slotViewToolBar(bool on)
{
    statusBar()->showMessage(QStringLiteral("Toggle toolbar..."));
    m_fileToolbar->setVisible(on);
    ready();
}

void FenluxApp::slotViewStatusBar(bool on)
{
    statusBar()->showMessage(QStringLiteral("Toggle statusbar..."));
    statusBar()->setVisible(on);
    ready();
}

void FenluxApp::slotViewWindRose()
{
    statusBar()->showMessage(QStringLiteral("Opening wind rose..."));
    createWindView(true);
    ready();
}

void FenluxApp::slotViewDistribution()
{
    statusBar()->showMessage(QStringLiteral("Opening speed distribution..."));
    createWindView(false);
    ready();
}

void FenluxApp::slotFileExport()
{
    statusBar()->showMessage(QStringLiteral("Exporting..."));
    QWidget* window = activeWindow();
    ExportSource source;
    if (auto* view = qobject_cast<FenluxView*>(window))
        source = exportSourceOf(*view);
    else if (auto* wind = qobject_cast<FenluxWindView*>(window))
        source = exportSourceOf(*wind);
    if (!source.plot) {
        ready();
        return;
    }
    const QString path = qtsupport::userInteraction().saveFileName(
        QStringLiteral("Export"), QString(),
        QStringLiteral("PNG Picture (*.png);;SVG Drawing (*.svg);;PDF Document (*.pdf);;"
                       "Comma Separated Values (*.csv)"));
    if (path.isEmpty()) {
        ready();
        return;
    }
    QString error;
    // The picture as it is seen on the screen.
    if (!exportTo(source, path, source.plot->size(), &error)) {
        qtsupport::userInteraction().message(QStringLiteral("Could not export to ") + path + QStringLiteral(":\n") + error,
                                         QStringLiteral("Export"), qtsupport::UserInteraction::Icon::Critical);
        ready();
        return;
    }
    statusBar()->showMessage(QStringLiteral("Exported to ") + path, 2000);
}

void FenluxApp::slotWindowNewWindow()
{
    statusBar()->showMessage(QStringLiteral("Opening new document view..."));
    if (FenluxDoc* doc = activeDocument())
        createClient(doc);
    ready();
}

void FenluxApp::slotHelpAbout()
{
    qtsupport::userInteraction().about(QStringLiteral("Fenlux 0.9"), QStringLiteral("About..."));
}

void FenluxApp::slotStatusHelpMsg(const QString& text)
{
    statusBar()->showMessage(text, 2000);
}

} // namespace varno::fenlux

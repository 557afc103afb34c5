#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

class QAction;
class QActionGroup;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QToolBar;

namespace varno::fenlux {

class FenluxDoc;
class FenluxView;
class FenluxWindView;

// The plotter's main window: a workspace of views, the list of open documents, the
// actions with their menus, and the opening of files from the command line or a dialog.
class FenluxApp : public QMainWindow {
    Q_OBJECT
public:
    FenluxApp();
    ~FenluxApp() override;

    // Opens each file with a progress dialog (cancel stops), then joins the documents;
    // without files, shows the file dialog.
    void openStartupFiles(const QStringList& files);
    // Opens path (a new untitled document when empty); nullptr on failure or when the
    // path was already open.
    FenluxDoc* openDocumentFile(const QString& path = QString());
    // Joins documents whose times continue each other.
    void joinDocuments();
    // A further view of doc in the workspace.
    FenluxView* createClient(FenluxDoc* doc);
    // A wind rose or speed distribution of the active window's document and time range.
    FenluxWindView* createWindView(bool rose);

    const QList<FenluxDoc*>& documents() const { return m_documents; }
    QMdiArea* workspace() const { return m_workspace; }
    QMenu* windowMenu() const { return m_windowMenu; }
    FenluxView* activeView() const;
    // The view, rose or distribution in the active window, and its document.
    QWidget* activeWindow() const;
    FenluxDoc* activeDocument() const;
    QAction* action(const QString& name) const;
    bool isReading() const { return m_reading > 0; }
    QPrinter* printer();

signals:
    void signalAbortOpenDocument();

public slots:
    void slotAbortOpenDocument();
    void slotFileNew();
    void slotFileOpen();
    void slotFileSave();
    void slotFileSaveAs();
    void slotFileClose();
    void slotFilePrint();
    void slotFileQuit();
    void slotEditUndo();
    void slotEditCut();
    void slotEditCopy();
    void slotEditPaste();
    void slotViewToolBar(bool on);
    void slotViewStatusBar(bool on);
    void slotViewWindRose();
    void slotViewDistribution();
    void slotFileExport();
    void slotWindowNewWindow();
    void slotHelpAbout();
    void slotStatusHelpMsg(const QString& text);
    void windowMenuAboutToShow();
    void windowMenuActivated(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void initActions();
    void initMenuBar();
    void initToolBar();
    void initStatusBar();
    void setFileActionsEnabled(bool on);
    // Closes the windows of doc one by one; false when one refuses.
    bool closeViews(FenluxDoc* doc);
    // The wind windows showing doc, but skip.
    QList<QMdiSubWindow*> windWindowsOf(const FenluxDoc* doc, const QMdiSubWindow* skip = nullptr) const;
    void addWindow(QWidget* widget);
    void updateWindowActions();
    void showSaveFailed();
    void removeDocument(FenluxDoc* doc);
    void ready();

    QList<FenluxDoc*> m_documents;
    std::unique_ptr<QPrinter> m_printer;
    int m_untitledCount = 0;
    bool m_abort = false;
    int m_reading = 0;
    bool m_closeWhenRead = false;
    QMdiArea* m_workspace = nullptr;
    QToolBar* m_fileToolbar = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QActionGroup* m_windowActions = nullptr;
    QAction* m_fileOpen = nullptr;
    QAction* m_fileSave = nullptr;
    QAction* m_fileSaveAs = nullptr;
    QAction* m_fileClose = nullptr;
    QAction* m_fileExport = nullptr;
    QAction* m_filePrint = nullptr;
    QAction* m_fileQuit = nullptr;
    QAction* m_editCut = nullptr;
    QAction* m_editCopy = nullptr;
    QAction* m_editUndo = nullptr;
    QAction* m_editPaste = nullptr;
    QAction* m_viewToolBar = nullptr;
    QAction* m_viewStatusBar = nullptr;
    QAction* m_viewWindRose = nullptr;
    QAction* m_viewDistribution = nullptr;
    QAction* m_windowNewWindow = nullptr;
    QAction* m_windowCascade = nullptr;
    QAction* m_windowTile = nullptr;
    QAction* m_helpAboutApp = nullptr;
    QList<QAction*> m_actions;
};

} // namespace varno::fenlux

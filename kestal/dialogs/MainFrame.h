#pragma once

#include <QMainWindow>

#include <functional>
#include <map>

#include <kestal/stations/Commands.h>

class QAction;
class QSettings;
class QSplitter;

namespace varno::kestal {

class CKestalDoc;
class CKestalView;
class CLeftView;

// The main window: menus, toolbar, status bar and the two panes. Every command goes
// through one table (Commands.h) for its texts, enabling and routing.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Commands served by the application object (Preferences, Manual, About).
    using CommandHandler = std::function<void(int id)>;

    CMainFrame(CKestalDoc& doc, CKestalView* fileList, QWidget* parent = nullptr);

    void SetApplicationCommands(CommandHandler handler) { m_appCommands = std::move(handler); }
    // Commands of the instrument connection (connect, disconnect, login, setup ...).
    void SetConnectionCommands(CommandHandler handler) { m_connectionCommands = std::move(handler); }

    QAction* action(int id) const;
    CLeftView* leftView() const { return m_left; }
    CKestalView* fileList() const { return m_fileList; }
    QSplitter* splitter() const { return m_splitter; }

    // Runs a command as the menus do (nothing when it is disabled).
    void Execute(int id);
    // Enables every command from the document's state.
    void UpdateActions();
    CommandState State() const;

    // Size the window opens at when nothing was saved: the left pane and the first five
    // columns of the data-file list without scrolling.
    static QSize FirstSize() { return QSize(1000, 640); }
    // The window as it was left: its place, size and maximised state, the splitter and
    // the widths of the columns the user sized. Restore before the window is shown.
    void RestoreLayout(QSettings& settings);
    void SaveLayout(QSettings& settings) const;

protected:
    // Keeps the layout in the program's settings.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildMenus();
    void buildToolBar();
    void switchPane(bool forward);
    QIcon commandIcon(int id) const;

    CKestalDoc& m_doc;
    CLeftView* m_left;
    CKestalView* m_fileList;
    QSplitter* m_splitter;
    QToolBar* m_toolBar = nullptr;
    std::map<int, QAction*> m_actions;
    CommandHandler m_appCommands;
    CommandHandler m_connectionCommands;
};

} // namespace varno::kestal

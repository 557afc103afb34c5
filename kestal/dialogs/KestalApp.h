#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include <kestal/files/Launcher.h>
#include <kestal/stations/ProgramSettings.h>

class QWidget;

namespace varno::kestal {

class CKestalDoc;
class CKestalView;
class CMainFrame;
struct StationEdit;
struct ConnectRequest;
class InstrumentCommands;

// The terminal's application object: settings, registration, command-line hand-over,
// first run, the document and the main window, and the commands Preferences, Manual, About.
class CKestalApp {
public:
    // Runs the preferences dialog on settings; true on OK (settings then hold the result).
    using PreferencesRunner = std::function<bool(ProgramSettings& settings)>;
    using StationEditor = std::function<bool(StationEdit& values)>;
    using AboutRunner = std::function<void(const QString& components)>;
    using ConnectDialog = std::function<bool(ConnectRequest& request)>;
    using LoginDialog = std::function<bool(QString& password)>;

    // programFilePath: the running program (its folder holds the suite's programs).
    explicit CKestalApp(const QString& programFilePath);
    ~CKestalApp();

    // Dialog seams; the defaults show the real dialogs.
    void SetPreferencesRunner(PreferencesRunner runner) { m_preferences = std::move(runner); }
    void SetStationEditor(StationEditor editor) { m_stationEditor = std::move(editor); }
    void SetAboutRunner(AboutRunner runner) { m_about = std::move(runner); }
    void SetConnectDialog(ConnectDialog dialog) { m_connectDialog = std::move(dialog); }
    void SetLoginDialog(LoginDialog dialog) { m_loginDialog = std::move(dialog); }

    // Start-up in its order. arguments: the command line without the program name (Qt's
    // own options already removed). False ends the program (a data file was handed over,
    // or nothing could be shown). show: whether to show the window (tests pass false).
    bool InitInstance(const QStringList& arguments, bool show = true);

    // Preferences step; a confirmed dialog rebuilds the station list.
    bool OnPreferences();
    void OnManual();
    void OnAbout();
    void OnDocuments();

    const ProgramSettings& Settings() const { return m_settings; }
    const Launcher& GetLauncher() const { return m_launcher; }
    CKestalDoc* Doc() const { return m_doc.get(); }
    CMainFrame* Frame() const { return m_frame.get(); }
    InstrumentCommands* Instrument() const { return m_instrument.get(); }

private:
    bool runPreferencesStep();
    bool handOver(const QString& file);

    ProgramSettings m_settings;
    Launcher m_launcher;
    PreferencesRunner m_preferences;
    StationEditor m_stationEditor;
    AboutRunner m_about;
    ConnectDialog m_connectDialog;
    LoginDialog m_loginDialog;
    std::unique_ptr<CKestalDoc> m_doc;
    std::unique_ptr<InstrumentCommands> m_instrument;
    std::unique_ptr<CMainFrame> m_frame;
};

// The About box's components text: the terminal's version line, then the version texts of
// the instrument-link and conversion libraries, each on its own line.
QString AboutComponents();

// Shows the About box.
void ShowAboutBox(const QString& components, QWidget* parent);

} // namespace varno::kestal

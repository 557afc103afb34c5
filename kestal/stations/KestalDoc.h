#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <kestal/stations/ProgramSettings.h>
#include <kestal/stations/StationConfig.h>
#include <kestal/stations/Timing.h>

class CQuorvalin;

namespace varno::kestal {

// What the station properties dialog edits (texts as shown in the windows).
struct StationEdit {
    QString name;
    QString connection;
    QString password;
    QString dataPath; // full station folder path; empty for a new station
};

// What the connect dialog shows and returns.
struct ConnectRequest {
    QString stationName;
    QString connection; // the station's connection text; on OK the one to use now
    QString password;
};

// One call of the link's Connect, prepared by the document for the connecting progress.
struct ConnectCall {
    CQuorvalin& link;
    std::string connection; // a telephone number comes behind the modem port
    std::string modemInit;
    std::string dialMethod;
    // SetBusy(1), Connect, SetBusy(0). Blocks until the instrument answers, so it belongs on
    // a worker thread; the link's AbortConnect (any thread) cuts it short.
    void Run() const;
};

// The terminal's one document: the station list rebuilt from the sub-folders of the main
// data folder, the selected station, the instrument link and the connection state. It has
// no windows: it asks the user through the injected dialogs below and the suite's
// UserInteraction, and tells its views through its signals.
class CKestalDoc : public QObject {
    Q_OBJECT
public:
    // Runs the station properties dialog on values; true on OK (values then hold the result).
    using StationEditor = std::function<bool(StationEdit& values)>;

    // settings: the program settings (not owned, outlive the document). link: the
    // instrument link, owned; null creates one.
    explicit CKestalDoc(const ProgramSettings& settings, CQuorvalin* link = nullptr,
                        QObject* parent = nullptr);
    ~CKestalDoc() override;

    // Runs the connect dialog on request; true on OK (request then holds the result).
    using ConnectDialog = std::function<bool(ConnectRequest& request)>;
    // Runs the login dialog; true on "Login" (password then holds the typed text).
    using LoginDialog = std::function<bool(QString& password)>;
    // Runs the countdown before an idle modem line is dropped; true: hang up.
    using HangUpDialog = std::function<bool()>;
    // Runs call while the connecting progress is shown; the user may cancel it, even before
    // it starts. Returns when the call has ended.
    using ConnectingProgress = std::function<void(const ConnectCall& call)>;
    // Shows text while whileShown runs on the calling (window) thread.
    using WaitMessage = std::function<void(const QString& text, const std::function<void()>& whileShown)>;

    // Without a station editor, connect or login dialog the command does nothing.
    void SetStationEditor(StationEditor editor) { m_stationEditor = std::move(editor); }
    void SetConnectDialog(ConnectDialog dialog) { m_connectDialog = std::move(dialog); }
    void SetLoginDialog(LoginDialog dialog) { m_loginDialog = std::move(dialog); }
    // Without a countdown nobody is there to keep the line: it is dropped, as when the
    // countdown runs out.
    void SetHangUpDialog(HangUpDialog dialog) { m_hangUpDialog = std::move(dialog); }
    // Without a progress the call runs off the window thread with nothing shown.
    void SetConnectingProgress(ConnectingProgress progress) { m_connectingProgress = std::move(progress); }
    // Without one nothing is shown.
    void SetWaitMessage(WaitMessage message) { m_waitMessage = std::move(message); }

    // Station list.
    int RebuildStationList();
    void SelectStation(int index);
    int GetSelectedStation() const { return m_selected; }
    int GetStationCount() const { return int(m_stations.size()); }
    const StationRecord* GetStation(int index) const;

    // The selected station's texts ("" when none is selected), as shown in the windows.
    QString GetStationName() const { return StationName(m_selected); }
    QString GetStationConnection() const { return StationConnection(m_selected); }
    QString GetStationPassword() const;
    QString StationName(int index) const;
    QString StationConnection(int index) const;
    // Station folder path of any station ("" for an index outside the list).
    QString StationFolderPath(int index) const;

    // Folders of the selected station, created on demand; "" when no station is selected.
    QString GetStationFolderPath() const;
    QString GetDataFolderPath() const;
    QString GetExportFolderPath() const;
    QString GetDocumentsFolderPath() const;

    // Writes folderPath/station.cfg; a failure is shown to the user. A text that equals the
    // shown form of the stored one keeps the stored bytes.
    bool WriteStationConfiguration(const QString& name, const QString& folderPath,
                                   const QString& connection, const QString& password,
                                   const StationRecord& stored = {});

    // Commands.
    void OnNewDocument(); // rebuild; with no stations Add station; select; notify
    void OnAddStation();
    void OnEditStation();
    void OnDeleteStation();
    // Opening a ".vsl" file rebuilds the list; saving one is not supported.
    bool OpenDocument(const QString& path);
    bool SaveDocument(const QString& path);

    // Connection state (driven by the connection code).
    CQuorvalin* GetLink() const { return m_link.get(); }
    bool IsConnected() const { return m_connected; }
    bool IsViaModem() const { return m_viaModem; }
    uint32_t GetStatusFlags() const { return m_statusFlags; }
    void SetConnectionState(bool connected, bool viaModem, uint32_t statusFlags);
    // Connect command: connect dialog, connecting dialog, firmware gate, login when needed.
    void OnConnect();
    // Ends a connection behind the wait message "Disconnecting..."; nothing happens while
    // not connected.
    void Disconnect();
    // Login command: login dialog, then the new user level.
    void OnLogin();
    // Only for a modem connection: the countdown dialog; true when the line is to be dropped.
    bool AskHangUp();
    // The idle time-out of a modem line, run by the data-file list's tick: skipped while the
    // link is busy; after the idle limit the countdown, then Disconnect.
    void CheckIdle();

    // Background refresh jobs of the instrument panel, each on a worker thread of its own and
    // guarded by its mutex, so that at most one of each kind runs. No job starts once the
    // document is closing.
    void StartStatusJob();
    void StartValuesJob();
    // Joins every job started so far.
    void WaitForJobs();
    std::timed_mutex& StatusMutex() { return m_statusMutex; }
    std::timed_mutex& ValuesMutex() { return m_valuesMutex; }
    // How often a job got its mutex and did its work.
    int StatusJobRuns() const { return m_statusRuns; }
    int ValuesJobRuns() const { return m_valuesRuns; }

    const ProgramSettings& Settings() const { return m_settings; }
    // Timers and clock of the views and dialogs (tests shorten them).
    KestalTiming& Timing() { return m_timing; }
    QString GetTitle() const { return m_title; }

    // Notifies every view ("update all views").
    void UpdateAllViews() { emit changed(); }

signals:
    void changed();
    // The document is about to be destroyed: views stop their timers.
    void closing();
    void titleChanged(const QString& title);

private:
    QString folderOf(const QString& sub) const;
    void setTitle(const QString& title);
    void startJob(std::function<void()> body);
    void runConnecting(const std::string& connection);
    void showWaitMessage(const QString& text, const std::function<void()>& whileShown);

    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    const ProgramSettings& m_settings;
    std::unique_ptr<CQuorvalin> m_link;
    int m_selected = -1;
    std::vector<StationRecord> m_stations;
    uint32_t m_statusFlags = 0;
    bool m_connected = false;
    bool m_viaModem = false;
    QString m_title;
    StationEditor m_stationEditor;
    ConnectDialog m_connectDialog;
    LoginDialog m_loginDialog;
    HangUpDialog m_hangUpDialog;
    ConnectingProgress m_connectingProgress;
    WaitMessage m_waitMessage;
    KestalTiming m_timing;
    bool m_askingHangUp = false;
    // Background jobs (window thread only touches the list).
    std::timed_mutex m_statusMutex;
    std::timed_mutex m_valuesMutex;
    std::vector<Job> m_jobs;
    bool m_closing = false;
    std::atomic<int> m_statusRuns{0};
    std::atomic<int> m_valuesRuns{0};
};

} // namespace varno::kestal

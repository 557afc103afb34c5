#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ProgramSettings.h"
#include "StationConfig.h"
#include "Timing.h"

class CQuorvalin;
class CKestalView;

// What the station properties dialog edits (texts as shown in the windows).
struct StationEdit {
    QString name;
    QString connection;
    QString password;
    QString dataPath; // full station folder path; empty for a new station
};

// The terminal's one document: the station list rebuilt from the sub-folders of the main
// data folder, the selected station, the instrument link and the connection state.
class CKestalDoc : public QObject {
    Q_OBJECT
public:
    // Runs the station properties dialog on values; true on OK (values then hold the result).
    using StationEditor = std::function<bool(StationEdit& values)>;

    // settings: the program settings (not owned, outlive the document). link: the
    // instrument link, owned; null creates one.
    explicit CKestalDoc(const kestal::ProgramSettings& settings, CQuorvalin* link = nullptr,
                        QObject* parent = nullptr);
    ~CKestalDoc() override;

    void SetStationEditor(StationEditor editor) { m_stationEditor = std::move(editor); }

    // Station list.
    int RebuildStationList();
    void SelectStation(int index);
    int GetSelectedStation() const { return m_selected; }
    int GetStationCount() const { return int(m_stations.size()); }
    const kestal::StationRecord* GetStation(int index) const;

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

    // Writes folderPath/station.cfg; a failure is shown to the user.
    bool WriteStationConfiguration(const QString& name, const QString& folderPath,
                                   const QString& connection, const QString& password,
                                   const std::string& unchangedPassword = std::string());

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
    // Ends a connection; nothing happens while not connected.
    void Disconnect();

    // The right-hand file list registers itself here.
    void SetFileListView(CKestalView* view) { m_fileListView = view; }
    CKestalView* GetFileListView() const { return m_fileListView; }

    const kestal::ProgramSettings& Settings() const { return m_settings; }
    // Timers and clock of the views and dialogs (tests shorten them).
    KestalTiming& Timing() { return m_timing; }
    QString GetTitle() const { return m_title; }

    // Notifies every view ("update all views").
    void UpdateAllViews() { emit changed(); }

signals:
    void changed();
    void titleChanged(const QString& title);

private:
    QString folderOf(const QString& sub) const;

    const kestal::ProgramSettings& m_settings;
    std::unique_ptr<CQuorvalin> m_link;
    CKestalView* m_fileListView = nullptr;
    int m_selected = -1;
    std::vector<kestal::StationRecord> m_stations;
    uint32_t m_statusFlags = 0;
    bool m_connected = false;
    bool m_viaModem = false;
    QString m_title;
    StationEditor m_stationEditor;
    KestalTiming m_timing;
};

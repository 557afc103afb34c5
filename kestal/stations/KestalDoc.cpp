#include "KestalDoc.h"

#include <Quorvalin.h>
#include <Text.h>
#include <UserInteraction.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using kestal::StationRecord;

CKestalDoc::CKestalDoc(const kestal::ProgramSettings& settings, CQuorvalin* link, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_link(link ? link : CQuorvalin::newObject())
{
}

CKestalDoc::~CKestalDoc()
{
    // Whoever still uses the link finishes first.
    if (m_link) {
        m_link->Lock(-1);
        m_link->Unlock();
    }
}

const StationRecord* CKestalDoc::GetStation(int index) const
{
    if (index < 0 || index >= int(m_stations.size()))
        return nullptr;
    return &m_stations[size_t(index)];
}

QString CKestalDoc::StationName(int index) const
{
    const StationRecord* s = GetStation(index);
    return s ? varno::textFromBytes(s->name) : QString();
}

QString CKestalDoc::StationConnection(int index) const
{
    const StationRecord* s = GetStation(index);
    return s ? varno::textFromBytes(s->connection) : QString();
}

QString CKestalDoc::GetStationPassword() const
{
    const StationRecord* s = GetStation(m_selected);
    return s ? varno::textFromBytes(s->password) : QString();
}

QString CKestalDoc::StationFolderPath(int index) const
{
    const StationRecord* s = GetStation(index);
    if (!s)
        return QString();
    return QDir(m_settings.mainDataFolder).filePath(varno::pathFromBytes(s->folder));
}

QString CKestalDoc::folderOf(const QString& sub) const
{
    QString path = StationFolderPath(m_selected);
    if (path.isEmpty())
        return path;
    if (!sub.isEmpty())
        path = QDir(path).filePath(sub);
    QDir().mkpath(path);
    return path;
}

QString CKestalDoc::GetStationFolderPath() const { return folderOf(QString()); }
QString CKestalDoc::GetDataFolderPath() const { return folderOf(QStringLiteral("vrn")); }
QString CKestalDoc::GetExportFolderPath() const { return folderOf(QStringLiteral("export")); }
QString CKestalDoc::GetDocumentsFolderPath() const { return folderOf(QStringLiteral("documents")); }

int CKestalDoc::RebuildStationList()
{
    std::vector<StationRecord> stations;
    const QDir root(m_settings.mainDataFolder);
    const QFileInfoList entries =
        root.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        StationRecord record;
        record.folder = varno::pathBytes(entry.fileName());
        record.name = varno::bytesFromText(entry.fileName());
        kestal::ReadStationConfig(entry.filePath(), record);
        stations.push_back(std::move(record));
    }
    std::stable_sort(stations.begin(), stations.end(),
                     [](const StationRecord& a, const StationRecord& b) {
                         return varno::textFromBytes(a.name).compare(
                                    varno::textFromBytes(b.name), Qt::CaseInsensitive) < 0;
                     });
    m_stations = std::move(stations);
    if (m_selected == -1)
        SelectStation(0);
    return int(m_stations.size());
}

void CKestalDoc::SelectStation(int index)
{
    if (index < 0 || index >= int(m_stations.size()))
        return;
    m_selected = index;
    if (m_connected)
        Disconnect();
    m_title = StationName(index);
    emit titleChanged(m_title);
    UpdateAllViews();
}

bool CKestalDoc::WriteStationConfiguration(const QString& name, const QString& folderPath,
                                           const QString& connection, const QString& password,
                                           const std::string& unchangedPassword)
{
    // A password that was not edited keeps its bytes (older files hold Latin-1).
    const std::string passwordBytes =
        !unchangedPassword.empty() && varno::textFromBytes(unchangedPassword) == password
        ? unchangedPassword : varno::bytesFromText(password);
    QString error;
    if (kestal::WriteStationConfig(folderPath, varno::bytesFromText(name),
                                   varno::bytesFromText(connection), passwordBytes, &error))
        return true;
    varno::userInteraction().message(error, QStringLiteral("kestal"),
                                     varno::UserInteraction::Icon::Warning);
    return false;
}

void CKestalDoc::OnNewDocument()
{
    RebuildStationList();
    if (m_stations.empty())
        OnAddStation();
    if (m_selected == -1)
        SelectStation(0);
    UpdateAllViews();
}

void CKestalDoc::OnAddStation()
{
    if (!m_stationEditor)
        return;
    StationEdit values{QStringLiteral("new station"), QStringLiteral("COM1"), QString(), QString()};
    if (!m_stationEditor(values))
        return;
    WriteStationConfiguration(values.name, values.dataPath, values.connection, values.password);
    RebuildStationList();
    UpdateAllViews();
}

void CKestalDoc::OnEditStation()
{
    const StationRecord* s = GetStation(m_selected);
    if (!s || !m_stationEditor)
        return;
    const std::string oldPassword = s->password;
    StationEdit values{GetStationName(), GetStationConnection(), GetStationPassword(),
                       StationFolderPath(m_selected)};
    if (!m_stationEditor(values))
        return;
    WriteStationConfiguration(values.name, values.dataPath, values.connection, values.password,
                              oldPassword);
    RebuildStationList();
    UpdateAllViews();
}

void CKestalDoc::OnDeleteStation()
{
    varno::userInteraction().message(
        QStringLiteral("Stations can not be removed from the list without removing the data folder!"),
        QStringLiteral("kestal"));
}

bool CKestalDoc::OpenDocument(const QString&)
{
    RebuildStationList();
    UpdateAllViews();
    return true;
}

bool CKestalDoc::SaveDocument(const QString&)
{
    varno::userInteraction().message(QStringLiteral("Not implemented: CKestalDoc::Serialize"),
                                     QStringLiteral("kestal"));
    return false;
}

void CKestalDoc::SetConnectionState(bool connected, bool viaModem, uint32_t statusFlags)
{
    m_connected = connected;
    m_viaModem = viaModem;
    m_statusFlags = connected ? statusFlags : 0;
}

void CKestalDoc::Disconnect()
{
    if (!m_connected)
        return;
    m_link->Lock(-1);
    m_link->Disconnect();
    m_link->Unlock();
    SetConnectionState(false, m_viaModem, 0);
    UpdateAllViews();
}

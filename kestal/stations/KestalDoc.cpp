#include <kestal/stations/KestalDoc.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <kestal/stations/LinkLock.h>
#include <kestal/stations/WorkerCall.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <chrono>

namespace varno::kestal {

namespace {

// A text that went through a window keeps the bytes it was read from when it comes back
// unchanged (older files and instruments hold Latin-1); an edited one is UTF-8 as typed.
std::string keptBytes(const QString& text, const std::string& stored)
{
    return qtsupport::textFromBytes(stored) == text ? stored : qtsupport::bytesFromText(text);
}

} // namespace

CKestalDoc::CKestalDoc(const ProgramSettings& settings, CQuorvalin* link, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_link(link ? link : CQuorvalin::newObject())
{
}

CKestalDoc::~CKestalDoc()
{
    // Views stop their timers, running jobs end, no job starts any more; then whoever
    // still holds the link finishes before it goes.
    emit closing();
    m_closing = true;
    WaitForJobs();
    if (m_link) {
        m_link->Lock(-1);
        m_link->Unlock();
        m_link.reset();
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
    return s ? qtsupport::textFromBytes(s->name) : QString();
}

QString CKestalDoc::StationConnection(int index) const
{
    const StationRecord* s = GetStation(index);
    return s ? qtsupport::textFromBytes(s->connection) : QString();
}

QString CKestalDoc::GetStationPassword() const
{
    const StationRecord* s = GetStation(m_selected);
    return s ? qtsupport::textFromBytes(s->password) : QString();
}

QString CKestalDoc::StationFolderPath(int index) const
{
    const StationRecord* s = GetStation(index);
    if (!s)
        return QString();
    return QDir(m_settings.mainDataFolder).filePath(qtsupport::pathFromBytes(s->folder));
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
        record.folder = qtsupport::pathBytes(entry.fileName());
        record.name = qtsupport::bytesFromText(entry.fileName());
        ReadStationConfig(entry.filePath(), record);
        stations.push_back(std::move(record));
    }
    std::stable_sort(stations.begin(), stations.end(),
                     [](const StationRecord& a, const StationRecord& b) {
                         return qtsupport::textFromBytes(a.name).compare(
                                    qtsupport::textFromBytes(b.name), Qt::CaseInsensitive) < 0;
                     });
    m_stations = std::move(stations);
    // The index survives as a bare number, but never past the end of the new list.
    if (m_selected >= int(m_stations.size()))
        m_selected = -1;
    if (m_selected == -1)
        SelectStation(0);
    setTitle(StationName(m_selected));
    return int(m_stations.size());
}

void CKestalDoc::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    emit titleChanged(m_title);
}

void CKestalDoc::SelectStation(int index)
{
    if (index < 0 || index >= int(m_stations.size()))
        return;
    m_selected = index;
    if (m_connected)
        Disconnect();
    setTitle(StationName(index));
    UpdateAllViews();
}

bool CKestalDoc::WriteStationConfiguration(const QString& name, const QString& folderPath,
                                           const QString& connection, const QString& password,
                                           const StationRecord& stored)
{
    QString error;
    if (WriteStationConfig(folderPath, keptBytes(name, stored.name),
                                   keptBytes(connection, stored.connection),
                                   keptBytes(password, stored.password), &error))
        return true;
    qtsupport::userInteraction().message(error, QStringLiteral("kestal"),
                                     qtsupport::UserInteraction::Icon::Warning);
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
    const StationRecord stored = *s;
    StationEdit values{GetStationName(), GetStationConnection(), GetStationPassword(),
                       StationFolderPath(m_selected)};
    if (!m_stationEditor(values))
        return;
    WriteStationConfiguration(values.name, values.dataPath, values.connection, values.password,
                              stored);
    RebuildStationList();
    UpdateAllViews();
}

void CKestalDoc::OnDeleteStation()
{
    qtsupport::userInteraction().message(
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
    qtsupport::userInteraction().message(QStringLiteral("Not implemented: CKestalDoc::Serialize"),
                                     QStringLiteral("kestal"));
    return false;
}

void CKestalDoc::SetConnectionState(bool connected, bool viaModem, uint32_t statusFlags)
{
    m_connected = connected;
    m_viaModem = viaModem;
    m_statusFlags = connected ? statusFlags : 0;
}

namespace {

const QString kCaption = QStringLiteral("kestal");

// Waits at most 1 ms for a job mutex. Built on try_lock so that every tool that checks
// locking sees it (the timed wait of the runtime is invisible to some of them).
bool lockWithin1ms(std::timed_mutex& mutex)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    do {
        if (mutex.try_lock())
            return true;
        std::this_thread::yield();
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

} // namespace

void ConnectCall::Run() const
{
    link.SetBusy(1);
    link.Connect(connection, modemInit, dialMethod, 1);
    link.SetBusy(0);
}

void CKestalDoc::runConnecting(const std::string& connection)
{
    const ConnectCall call{*m_link, connection, qtsupport::bytesFromText(m_settings.modemInit),
                           qtsupport::bytesFromText(m_settings.dialMethod)};
    if (m_connectingProgress)
        m_connectingProgress(call);
    else
        RunOffThread([&call] { call.Run(); });
}

void CKestalDoc::showWaitMessage(const QString& text, const std::function<void()>& whileShown)
{
    if (m_waitMessage)
        m_waitMessage(text, whileShown);
    else
        whileShown();
}

void CKestalDoc::OnConnect()
{
    const StationRecord* s = GetStation(m_selected);
    if (!s || !m_connectDialog)
        return;
    const StationRecord stored = *s;
    ConnectRequest request{GetStationName(), GetStationConnection(), GetStationPassword()};
    if (!m_connectDialog(request))
        return;
    if (request.connection.trimmed().isEmpty()) {
        qtsupport::userInteraction().message(QString::fromLatin1(kNothingToConnectText), kCaption,
                                         qtsupport::UserInteraction::Icon::Warning);
        return;
    }

    // The station's texts reach the instrument as stored; a telephone number is dialled
    // through the modem port.
    std::string connection = keptBytes(request.connection, stored.connection);
    m_viaModem = !ConnectsDirectly(request.connection);
    if (m_viaModem)
        connection = qtsupport::bytesFromText(m_settings.modemPort) + ' ' + connection;

    bool loginNeeded = false;
    {
        qtsupport::WaitCursor wait;
        LinkLock lock(*m_link);
        m_link->ResetLink();
        m_link->SetPassword(keptBytes(request.password, stored.password));
        runConnecting(connection);
        if (m_link->IsConnected()) {
            const double version = m_link->GetFirmwareVersion();
            if (version > 0.0 && version < 2.0) {
                qtsupport::userInteraction().message(
                    QStringLiteral("Varno versions prior to 2.0 are not supported by this version of Kestal."),
                    kCaption, qtsupport::UserInteraction::Icon::Warning);
                qtsupport::WaitCursor disconnecting;
                m_link->Disconnect();
            }
        } else {
            QString error = qtsupport::textFromBytes(m_link->GetLastErrorText());
            if (error.isEmpty())
                error = QStringLiteral("No connection to instrument");
            qtsupport::userInteraction().message(error, kCaption, qtsupport::UserInteraction::Icon::Warning);
        }
        m_connected = m_link->IsConnected();
        m_statusFlags = 0;
        if (m_connected) {
            m_statusFlags = m_link->GetStatusFlags();
            loginNeeded = m_link->GetUserLevel() < 1;
        }
        (void)m_link->GetLastErrorText();
        m_link->IdleTime(0);
    }
    UpdateAllViews();
    if (loginNeeded)
        OnLogin();
}

void CKestalDoc::Disconnect()
{
    if (!m_connected)
        return;
    showWaitMessage(QStringLiteral("Disconnecting..."), [this] {
        {
            qtsupport::WaitCursor wait;
            // The lock belongs to the window thread (a tick may hold it already); the hang-up
            // itself runs on a worker while the wait message keeps moving.
            LinkLock lock(*m_link);
            RunOffThread([this] { m_link->Disconnect(); });
            m_connected = m_link->IsConnected();
        }
        m_statusFlags = 0;
        UpdateAllViews();
    });
}

void CKestalDoc::OnLogin()
{
    QString password;
    if (!m_loginDialog || !m_loginDialog(password))
        return;
    int level = 0;
    {
        qtsupport::WaitCursor wait;
        LinkLock lock(*m_link);
        m_link->IdleTime(0);
        level = m_link->Login(qtsupport::bytesFromText(password));
    }
    if (level < 1)
        qtsupport::userInteraction().message(QStringLiteral("Password rejected by Instrument"), kCaption,
                                         qtsupport::UserInteraction::Icon::Warning);
    UpdateAllViews();
}

bool CKestalDoc::AskHangUp()
{
    if (!m_viaModem)
        return false;
    return m_hangUpDialog ? m_hangUpDialog() : true;
}

void CKestalDoc::CheckIdle()
{
    // Ticks that fire while the countdown is shown leave it alone.
    if (!m_connected || m_askingHangUp || !m_link->TryLock())
        return;
    if (m_link->IdleTime(1) <= m_timing.idleHangUpSeconds) {
        m_link->Unlock();
        return;
    }
    m_link->IdleTime(0);
    m_link->Unlock();
    m_askingHangUp = true;
    const bool hangUp = AskHangUp();
    m_askingHangUp = false;
    if (hangUp)
        Disconnect();
}

// ------------------------------------------------------------------ background jobs

void CKestalDoc::startJob(std::function<void()> body)
{
    if (m_closing)
        return;
    // Finished jobs are joined as new ones start.
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_jobs.erase(it);
        } else {
            ++it;
        }
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    m_jobs.push_back(Job{std::thread([body = std::move(body), done] {
                             body();
                             done->store(true);
                         }),
                         done});
}

void CKestalDoc::StartStatusJob()
{
    startJob([this] {
        if (!lockWithin1ms(m_statusMutex))
            return; // the previous status job still runs
        m_link->Lock(-1);
        if (m_link->IsConnected())
            m_link->Update();
        m_link->Unlock();
        ++m_statusRuns;
        m_statusMutex.unlock();
    });
}

void CKestalDoc::StartValuesJob()
{
    startJob([this] {
        if (!lockWithin1ms(m_valuesMutex))
            return;
        m_link->Lock(-1);
        if (m_link->IsConnected()) {
            m_link->ReadValues(0, 0);
            m_link->ReadStatistics(0, 0);
        }
        m_link->Unlock();
        ++m_valuesRuns;
        m_valuesMutex.unlock();
    });
}

void CKestalDoc::WaitForJobs()
{
    for (Job& job : m_jobs)
        job.thread.join();
    m_jobs.clear();
}

} // namespace varno::kestal

#include <kestal/dialogs/KestalApp.h>

#include <kestal/dialogs/ConnectDlg.h>
#include <kestal/dialogs/Desktop.h>

#include <kestal/instrument/InstrumentCommands.h>
#include <kestal/dialogs/InstrumentDialogs.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/KestalView.h>
#include <kestal/dialogs/MainFrame.h>
#include <kestal/dialogs/PreferencesDlg.h>
#include <kestal/dialogs/StationPropertiesDlg.h>
#include <kestal/dialogs/WaitDialogs.h>

#include <lunebrig/Lunebrig.h>
#include <qtsupport/OstrelQtUi.h>
#include <ostrel/Ostrel.h>
#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QVBoxLayout>

namespace varno::kestal {

QString AboutComponents()
{
    return QStringLiteral("Kestal 3.0.4, \tAug 17 2006\r\n") +
        qtsupport::textFromBytes(quorvalin_getversionstring()) + QStringLiteral("\r\n") +
        QString::fromLatin1(ostrel_getversionstring());
}

void ShowAboutBox(const QString& components, QWidget* parent)
{
    QDialog box(parent);
    box.setWindowTitle(QStringLiteral("About kestal"));
    auto* text = new QPlainTextEdit(qtsupport::displayText(components), &box);
    text->setReadOnly(true);
    text->setMinimumSize(420, 90);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel(QStringLiteral("kestal: station terminal of the varno suite"), &box));
    layout->addWidget(text);
    layout->addWidget(buttons);
    box.exec();
}

CKestalApp::CKestalApp(const QString& programFilePath)
    : m_launcher(QFileInfo(programFilePath).absolutePath())
{
    m_preferences = [this](ProgramSettings& settings) {
        CPreferencesDlg dialog(settings, m_frame.get());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        settings = dialog.values();
        return true;
    };
    m_stationEditor = [this](StationEdit& v) {
        CStationPropertiesDlg dialog(m_settings.mainDataFolder, m_frame.get());
        dialog.SetValues(v.name, v.connection, v.password, v.dataPath);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        v.name = dialog.GetName();
        v.connection = dialog.GetConnection();
        v.password = dialog.GetPassword();
        v.dataPath = dialog.GetDataPath();
        return true;
    };
    m_about = [this](const QString& components) { ShowAboutBox(components, m_frame.get()); };
    m_connectDialog = [this](ConnectRequest& r) {
        CConnectDlg dialog(m_frame.get());
        dialog.SetValues(r.stationName, r.connection, r.password);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        r.connection = dialog.GetConnection();
        r.password = dialog.GetPassword();
        return true;
    };
    m_loginDialog = [this](QString& password) {
        CLoginDlg dialog(m_frame.get());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        password = dialog.GetPassword();
        return true;
    };
    SetApplicationExePath("varno-terminal", qtsupport::pathBytes(QFileInfo(programFilePath).absoluteFilePath()));
}

CKestalApp::~CKestalApp()
{
    m_frame.reset();
    m_instrument.reset();
    m_doc.reset();
}

bool CKestalApp::handOver(const QString& file)
{
    const QString lower = file.toLower();
    bool started = false;
    if (lower.endsWith(QLatin1String(".vrn")))
        started = m_launcher.OpenInViewer(file);
    else if (lower.endsWith(QLatin1String(".sta")))
        started = m_launcher.OpenStationStatistics(file);
    else if (lower.endsWith(QLatin1String(".dat")))
        started = m_launcher.OpenInTextEditor(file);
    else
        return false;
    if (!started)
        qtsupport::userInteraction().message(QStringLiteral("Unable to open viewer application."),
                                         QStringLiteral("kestal"), qtsupport::UserInteraction::Icon::Warning);
    return true;
}

bool CKestalApp::runPreferencesStep()
{
    ProgramSettings edited = m_settings;
    if (!m_preferences(edited))
        return false;
    m_settings = edited;
    QSettings store;
    m_settings.save(store);
    return true;
}

bool CKestalApp::InitInstance(const QStringList& arguments, bool show)
{
    QSettings store;
    m_settings.load(store);

    // The first argument that is not an option names a file.
    QString file;
    for (const QString& a : arguments)
        if (!a.startsWith('-')) {
            file = a;
            break;
        }
    if (!file.isEmpty() && handOver(file))
        return false;

    if (!QFileInfo::exists(m_settings.mainDataFolder)) {
        qtsupport::userInteraction().message(
            QStringLiteral("Welcome to  kestal 3.0!\r\n\r\nThe following dialogs will lead you "
                           "through the program configuration"),
            QStringLiteral("kestal"), qtsupport::UserInteraction::Icon::Information);
        runPreferencesStep();
    }

    m_doc = std::make_unique<CKestalDoc>(m_settings);
    m_doc->SetStationEditor([this](StationEdit& v) { return m_stationEditor(v); });
    m_doc->SetConnectDialog([this](ConnectRequest& r) { return m_connectDialog(r); });
    m_doc->SetLoginDialog([this](QString& password) { return m_loginDialog(password); });
    InstallWaitDialogs(*m_doc);
    m_instrument = std::make_unique<InstrumentCommands>(*m_doc);
    InstallInstrumentDialogs(*m_instrument);
    auto* fileList = new CKestalView(*m_doc, m_launcher);
    m_frame = std::make_unique<CMainFrame>(*m_doc, fileList);
    m_frame->SetConnectionCommands([this](int id) {
        switch (id) {
        case ID_CONNECT: m_doc->OnConnect(); break;
        case ID_DISCONNECT: m_doc->Disconnect(); break;
        case ID_LOGIN: m_doc->OnLogin(); break;
        default: m_instrument->Execute(id); break;
        }
    });
    m_frame->SetApplicationCommands([this](int id) {
        switch (id) {
        case ID_PREFERENCES: OnPreferences(); break;
        case ID_MANUAL: OnManual(); break;
        case ID_APP_ABOUT: OnAbout(); break;
        case ID_FOLDER_DOCUMENTS: OnDocuments(); break;
        default: break;
        }
    });
    m_doc->OnNewDocument();
    m_frame->RestoreLayout(store);
    if (show)
        m_frame->show();
    return true;
}

bool CKestalApp::OnPreferences()
{
    if (!runPreferencesStep())
        return false;
    if (m_doc)
        m_doc->OnNewDocument();
    return true;
}

void CKestalApp::OnManual()
{
    const QString name = QStringLiteral("manual_kestal30.pdf");
    QString path = QDir(m_launcher.programFolder()).filePath(name);
    const QString installed = QDir(m_launcher.programFolder()).filePath("../share/doc/varno/" + name);
    if (!QFileInfo::exists(path) && QFileInfo::exists(installed))
        path = QDir::cleanPath(installed);
    OpenOnDesktop(path);
}

void CKestalApp::OnAbout() { m_about(AboutComponents()); }

void CKestalApp::OnDocuments()
{
    const QString folder = m_doc ? m_doc->GetDocumentsFolderPath() : QString();
    if (!folder.isEmpty())
        OpenOnDesktop(folder);
}

} // namespace varno::kestal

#include <kestal/dialogs/PreferencesDlg.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/files/Launcher.h>
#include <kestal/dialogs/StationPropertiesDlg.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace varno::kestal {

CPreferencesDlg::CPreferencesDlg(const ProgramSettings& values, QWidget* parent,
                                 PortProbe probe)
    : QDialog(parent)
    , m_folder(new QLineEdit(values.mainDataFolder, this))
    , m_browse(new QPushButton(QStringLiteral("..."), this))
    , m_port(new QComboBox(this))
    , m_init(new QLineEdit(values.modemInit, this))
    , m_dialMethod(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Program Preferences"));
    m_folder->setMinimumWidth(320);
    m_browse->setFixedWidth(32);
    connect(m_browse, &QPushButton::clicked, this, &CPreferencesDlg::browse);

    auto* folders = new QGroupBox(QStringLiteral("Data Folders"), this);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder);
    folderRow->addWidget(m_browse);
    auto* folderForm = new QFormLayout(folders);
    folderForm->addRow(QStringLiteral("Main Data Folder"), folderRow);

    // Both boxes take typed text too and keep their entries sorted.
    for (QComboBox* box : {m_port, m_dialMethod}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::InsertAlphabetically);
    }
    QStringList ports = PortList(values.modemPort, probe);
    ports.sort();
    m_port->addItems(ports);
    m_port->setCurrentText(values.modemPort);
    m_dialMethod->addItems({QStringLiteral("default"), QStringLiteral("pulse"), QStringLiteral("tone")});
    m_dialMethod->setCurrentText(values.dialMethod);

    auto* modem = new QGroupBox(QStringLiteral("Modem Connections"), this);
    auto* initRow = new QHBoxLayout;
    initRow->addWidget(new QLabel(QStringLiteral("AT"), this));
    initRow->addWidget(m_init);
    auto* modemForm = new QFormLayout(modem);
    modemForm->addRow(QStringLiteral("Modem Port"), m_port);
    modemForm->addRow(QStringLiteral("Extra Modem Init"), initRow);
    modemForm->addRow(QStringLiteral("Dialling Method"), m_dialMethod);

    auto* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folders);
    layout->addWidget(modem);
    layout->addWidget(buttons);
}

ProgramSettings CPreferencesDlg::values() const
{
    ProgramSettings v;
    v.mainDataFolder = m_folder->text();
    v.modemPort = m_port->currentText();
    v.modemInit = m_init->text();
    v.dialMethod = m_dialMethod->currentText();
    return v;
}

void CPreferencesDlg::browse()
{
    QString folder = m_folder->text();
    if (Launcher::BrowseForFolder(QStringLiteral("Choose the Main Data Folder"), folder))
        m_folder->setText(folder);
}

bool RunPreferences(ProgramSettings& settings, QWidget* parent)
{
    CPreferencesDlg dialog(settings, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings = dialog.values();
    QSettings store;
    settings.save(store);
    return true;
}

} // namespace varno::kestal

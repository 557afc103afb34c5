#include <kestal/dialogs/StationPropertiesDlg.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/stations/StationConfig.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace varno::kestal {

void SetTypingLimit(QLineEdit* edit, int limit)
{
    edit->setMaxLength(std::max(limit, edit->text().size()));
}

QStringList PortList(const QString& current, const std::function<bool(const QString&)>& probe)
{
    qtsupport::WaitCursor wait;
    QStringList ports;
    for (int i = 1; i <= 8; ++i) {
        const QString name = QStringLiteral("COM%1").arg(i);
        if (name == current || (probe ? probe(name) : ConnectionAvailable(name.toStdString())))
            ports.append(name);
    }
    // A stored port outside the eight ("COM9", "/dev/ttyUSB0") stays choosable.
    if (IsDirectLine(current) && !ports.contains(current))
        ports.append(current);
    return ports;
}

CStationPropertiesDlg::CStationPropertiesDlg(const QString& mainDataFolder, QWidget* parent,
                                             PortProbe probe)
    : QDialog(parent)
    , m_mainDataFolder(mainDataFolder)
    , m_probe(std::move(probe))
    , m_connectUsing(new QComboBox(this))
    , m_phone(new QLineEdit(this))
    , m_dataPath(new QLineEdit(this))
    , m_name(new QLineEdit(this))
    , m_password(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Measuring Station Properties"));
    m_dataPath->setReadOnly(true);
    m_dataPath->setMinimumWidth(320);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Station Name"), m_name);
    form->addRow(QStringLiteral("Connect using"), m_connectUsing);
    form->addRow(QStringLiteral("Phonenumber"), m_phone);
    form->addRow(QStringLiteral("Password"), m_password);
    form->addRow(QStringLiteral("Local Data Path"), m_dataPath);
    auto* buttons = OkCancelButtons(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    SetValues(QStringLiteral("new station"), QStringLiteral("COM1"), QString(), QString());
    connect(m_connectUsing, &QComboBox::currentTextChanged, this, [this] { updatePhone(); });
    connect(m_name, &QLineEdit::textChanged, this, [this] { nameChanged(); });
}

void CStationPropertiesDlg::SetValues(const QString& name, const QString& connection,
                                      const QString& password, const QString& dataPath)
{
    const ConnectionFields fields = SplitConnection(connection);
    m_pathFixed = !dataPath.trimmed().isEmpty();
    m_dataPath->setText(dataPath.trimmed());
    m_phone->setText(fields.phoneNumber);
    // A stored value longer than the typing limit is never cut.
    m_name->setMaxLength(32767);
    m_password->setMaxLength(32767);
    m_password->setText(password);
    fillPorts(fields.connectUsing);
    const QSignalBlocker block(m_name);
    m_name->setText(name.trimmed());
    SetTypingLimit(m_name, 32);
    SetTypingLimit(m_password, 16);
    nameChanged();
}

void CStationPropertiesDlg::fillPorts(const QString& current)
{
    const QSignalBlocker block(m_connectUsing);
    m_connectUsing->clear();
    m_connectUsing->addItem(QStringLiteral("Modem"));
    m_connectUsing->addItems(PortList(current, m_probe));
    const int index = m_connectUsing->findText(current);
    m_connectUsing->setCurrentIndex(index >= 0 ? index : 0);
    updatePhone();
}

void CStationPropertiesDlg::updatePhone()
{
    m_phone->setEnabled(!IsDirectLine(m_connectUsing->currentText()));
}

void CStationPropertiesDlg::nameChanged()
{
    if (m_pathFixed)
        return;
    m_dataPath->setText(m_mainDataFolder + "/" + StationFolderName(m_name->text()));
}

QString CStationPropertiesDlg::GetName() const { return m_name->text(); }
QString CStationPropertiesDlg::GetConnection() const
{
    return JoinConnection(m_connectUsing->currentText(), m_phone->text());
}
QString CStationPropertiesDlg::GetPassword() const { return m_password->text(); }
QString CStationPropertiesDlg::GetDataPath() const { return m_dataPath->text(); }

void CStationPropertiesDlg::accept()
{
    if (!m_pathFixed) {
        if (m_dataPath->text().isEmpty() || m_name->text().isEmpty()) {
            qtsupport::userInteraction().message(QStringLiteral("Please enter the Station Name"),
                                             windowTitle(), qtsupport::UserInteraction::Icon::Warning);
            return;
        }
        // A new station never takes over another station's folder.
        if (QFile::exists(QDir(m_dataPath->text()).filePath(kStationConfigName))) {
            qtsupport::userInteraction().message(
                QStringLiteral("The folder %1 already holds a station. Please choose another Station Name.")
                    .arg(m_dataPath->text()),
                windowTitle(), qtsupport::UserInteraction::Icon::Warning);
            return;
        }
    }
    QDialog::accept();
}

} // namespace varno::kestal

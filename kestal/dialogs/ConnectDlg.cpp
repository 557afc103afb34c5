#include <kestal/dialogs/ConnectDlg.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/stations/StationConfig.h>
#include <kestal/dialogs/StationPropertiesDlg.h>

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace varno::kestal {

CConnectDlg::CConnectDlg(QWidget* parent, PortProbe probe)
    : QDialog(parent)
    , m_probe(std::move(probe))
    , m_phoneLabel(new QLabel(QStringLiteral("Phonenumber"), this))
    , m_phone(new QLineEdit(this))
    , m_name(new QLineEdit(this))
    , m_connectUsing(new QComboBox(this))
    , m_password(new QLineEdit(this))
    , m_reason(new QLabel(kNothingToConnectText, this))
{
    setWindowTitle(QStringLiteral("Connect to remote instrument"));
    m_phone->setReadOnly(true);
    m_name->setReadOnly(true);
    m_password->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Station Name"), m_name);
    form->addRow(m_phoneLabel, m_phone);
    form->addRow(QStringLiteral("Connect using"), m_connectUsing);
    form->addRow(QStringLiteral("Password"), m_password);
    auto* buttons = OkCancelButtons(this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_reason->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_reason);
    layout->addWidget(buttons);
    m_phoneLabel->hide();
    m_phone->hide();
    connect(m_connectUsing, &QComboBox::currentTextChanged, this, [this] { updateOk(); });
    updateOk();
}

void CConnectDlg::updateOk()
{
    const bool empty = GetConnection().trimmed().isEmpty();
    m_ok->setEnabled(!empty);
    m_reason->setVisible(empty);
}

void CConnectDlg::accept()
{
    // An empty text would dial the modem without a number.
    if (GetConnection().trimmed().isEmpty())
        return;
    QDialog::accept();
}

void CConnectDlg::SetValues(const QString& stationName, const QString& connection, const QString& password)
{
    const ConnectionFields fields = SplitConnection(connection);
    m_name->setText(stationName.trimmed());
    m_phone->setText(fields.phoneNumber);
    m_password->setMaxLength(32767);
    m_password->setText(password);
    SetTypingLimit(m_password, 32);
    m_connectUsing->clear();
    const bool modem = !fields.phoneNumber.isEmpty();
    if (modem)
        m_connectUsing->addItem(QStringLiteral("Modem"));
    m_phoneLabel->setVisible(modem);
    m_phone->setVisible(modem);
    m_connectUsing->addItems(PortList(fields.connectUsing, m_probe));
    const int index = m_connectUsing->findText(fields.connectUsing);
    m_connectUsing->setCurrentIndex(std::max(0, index));
    updateOk();
}

QString CConnectDlg::GetConnection() const
{
    return JoinConnection(m_connectUsing->currentText(), m_phone->text());
}

QString CConnectDlg::GetPassword() const { return m_password->text(); }

CLoginDlg::CLoginDlg(QWidget* parent)
    : QDialog(parent)
    , m_password(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Change Userlevel"));
    m_password->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Password"), m_password);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* login = buttons->addButton(QStringLiteral("Login"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    login->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QString CLoginDlg::GetPassword() const { return m_password->text(); }

} // namespace varno::kestal

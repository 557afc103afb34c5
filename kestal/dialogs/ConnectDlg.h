#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace varno::kestal {

// "Connect to remote instrument": the station, the port for this connection and the password.
class CConnectDlg : public QDialog {
    Q_OBJECT
public:
    using PortProbe = std::function<bool(const QString& port)>;

    explicit CConnectDlg(QWidget* parent = nullptr, PortProbe probe = PortProbe());

    // The connection is split into "Connect using" and the telephone number; a modem
    // station can also be reached through a local port for this one connection.
    void SetValues(const QString& stationName, const QString& connection, const QString& password);
    QString GetConnection() const;
    QString GetPassword() const;

    QComboBox* connectUsingBox() const { return m_connectUsing; }
    QLineEdit* phoneEdit() const { return m_phone; }
    QLabel* phoneLabel() const { return m_phoneLabel; }
    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* passwordEdit() const { return m_password; }
    // Why OK is refused (shown only when there is nothing to connect with).
    QLabel* reasonLabel() const { return m_reason; }
    QPushButton* okButton() const { return m_ok; }

    // Refused while the connection is empty.
    void accept() override;

private:
    void updateOk();

    PortProbe m_probe;
    QLabel* m_phoneLabel;
    QLineEdit* m_phone;
    QLineEdit* m_name;
    QComboBox* m_connectUsing;
    QLineEdit* m_password;
    QLabel* m_reason;
    QPushButton* m_ok;
};

// "Change Userlevel": the password for a login; "Login" is the OK result.
class CLoginDlg : public QDialog {
    Q_OBJECT
public:
    explicit CLoginDlg(QWidget* parent = nullptr);
    QString GetPassword() const;
    QLineEdit* passwordEdit() const { return m_password; }

private:
    QLineEdit* m_password;
};

} // namespace varno::kestal

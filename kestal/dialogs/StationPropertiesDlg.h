#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QComboBox;
class QLineEdit;

namespace varno::kestal {

// "Measuring Station Properties": name, how the station is reached, password and, for a
// new station, the data folder derived from the name.
class CStationPropertiesDlg : public QDialog {
    Q_OBJECT
public:
    // Whether a serial port can be used now (the link's ConnectionAvailable).
    using PortProbe = std::function<bool(const QString& port)>;

    // mainDataFolder: where a new station's folder is proposed.
    CStationPropertiesDlg(const QString& mainDataFolder, QWidget* parent = nullptr,
                          PortProbe probe = PortProbe());

    // Name and data path are trimmed, the connection is split into its two fields; a
    // non-empty data path is kept fixed.
    void SetValues(const QString& name, const QString& connection, const QString& password,
                   const QString& dataPath);
    QString GetName() const;
    QString GetConnection() const;
    QString GetPassword() const;
    QString GetDataPath() const;

    QComboBox* connectUsingBox() const { return m_connectUsing; }
    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* phoneEdit() const { return m_phone; }
    QLineEdit* passwordEdit() const { return m_password; }
    QLineEdit* dataPathEdit() const { return m_dataPath; }

    void accept() override;

private:
    void fillPorts(const QString& current);
    void updatePhone();
    void nameChanged();

    QString m_mainDataFolder;
    PortProbe m_probe;
    bool m_pathFixed = false;
    QComboBox* m_connectUsing;
    QLineEdit* m_phone;
    QLineEdit* m_dataPath;
    QLineEdit* m_name;
    QLineEdit* m_password;
};

// Limits typing to limit characters without ever cutting a longer stored text.
void SetTypingLimit(QLineEdit* edit, int limit);

// "COM1" .. "COM8": the available ones and current; current also when it is another port.
QStringList PortList(const QString& current, const std::function<bool(const QString&)>& probe);

} // namespace varno::kestal

#pragma once

#include <QDialog>

#include <functional>

#include <kestal/stations/ProgramSettings.h>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace varno::kestal {

// "Program Preferences": main data folder, modem port, extra modem init, dialling method.
class CPreferencesDlg : public QDialog {
    Q_OBJECT
public:
    using PortProbe = std::function<bool(const QString& port)>;

    explicit CPreferencesDlg(const ProgramSettings& values, QWidget* parent = nullptr,
                             PortProbe probe = PortProbe());

    // The edited values (the folder as typed).
    ProgramSettings values() const;

    QLineEdit* folderEdit() const { return m_folder; }
    QComboBox* portBox() const { return m_port; }
    QLineEdit* initEdit() const { return m_init; }
    QComboBox* dialMethodBox() const { return m_dialMethod; }
    // The "..." button: the folder browser.
    void browse();

private:
    QLineEdit* m_folder;
    QPushButton* m_browse;
    QComboBox* m_port;
    QLineEdit* m_init;
    QComboBox* m_dialMethod;
};

// The preferences step: runs the dialog on settings; on OK copies the values back, strips
// the folder and writes all four; true on OK.
bool RunPreferences(ProgramSettings& settings, QWidget* parent = nullptr);

} // namespace varno::kestal

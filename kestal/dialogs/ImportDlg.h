#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

namespace varno::kestal {

class Launcher;

// "Import Measurement File": the identity of a data log picked for import.
class CImportDlg : public QDialog {
    Q_OBJECT
public:
    CImportDlg(const QString& path, const Launcher& launcher, QWidget* parent = nullptr);

    QString serialNumber() const;
    QString startTime() const;
    QString stopTime() const;
    QString title() const;
    QString instrument() const;
    QString version() const;
    bool serialShown() const;

    // "View": the file in the viewer.
    void view();

private:
    QString m_path;
    const Launcher& m_launcher;
    QLabel* m_serialLabel;
    QLineEdit* m_serial;
    QLineEdit* m_start;
    QLineEdit* m_stop;
    QLineEdit* m_title;
    QLineEdit* m_instrument;
    QLineEdit* m_version;
};

} // namespace varno::kestal

#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace varno::kestal {

// A one-line text with "OK" and "Cancel": typing stops at 80 characters, but a longer text
// that came from the instrument is shown and kept whole.
class CTextEntryDlg : public QDialog {
    Q_OBJECT
public:
    void SetValues(const QString& text);
    QString Values() const;
    QLineEdit* edit() const { return m_edit; }

protected:
    CTextEntryDlg(const QString& title, const QString& label, QWidget* parent);

private:
    QLineEdit* m_edit;
};

// "Enter Measurement Title": the title of the measurement to start.
class CMeasurementTitleDlg : public CTextEntryDlg {
    Q_OBJECT
public:
    explicit CMeasurementTitleDlg(QWidget* parent = nullptr)
        : CTextEntryDlg(QStringLiteral("Enter Measurement Title"), QStringLiteral("Title"), parent)
    {
    }
};

// "Insert Comment": a comment for the data log.
class CCommentDlg : public CTextEntryDlg {
    Q_OBJECT
public:
    explicit CCommentDlg(QWidget* parent = nullptr)
        : CTextEntryDlg(QStringLiteral("Insert Comment"), QStringLiteral("Comment"), parent)
    {
    }
};

} // namespace varno::kestal

#include <kestal/dialogs/TextEntryDlg.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/dialogs/StationPropertiesDlg.h>

#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace varno::kestal {

CTextEntryDlg::CTextEntryDlg(const QString& title, const QString& label, QWidget* parent)
    : QDialog(parent)
    , m_edit(new QLineEdit(this))
{
    setWindowTitle(title);
    SetValues(QString());
    m_edit->setMinimumWidth(m_edit->fontMetrics().averageCharWidth() * 50);
    auto* form = new QFormLayout;
    form->addRow(label, m_edit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
}

void CTextEntryDlg::SetValues(const QString& text)
{
    m_edit->setMaxLength(32767);
    m_edit->setText(text);
    SetTypingLimit(m_edit, 80);
}

QString CTextEntryDlg::Values() const { return m_edit->text(); }

} // namespace varno::kestal

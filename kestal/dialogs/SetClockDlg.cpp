#include <kestal/dialogs/SetClockDlg.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/instrument/InstrumentCommands.h>

#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdlib>

namespace varno::kestal {

CSetClockDlg::CSetClockDlg(QWidget* parent)
    : QDialog(parent)
    , m_offset(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Set Clock"));
    m_offset->addItems(ClockChoices());
    SetValues(0);
    m_offset->setMaxVisibleItems(16);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("Set instrument clock to:"), this);
    label->setBuddy(m_offset);
    layout->addWidget(label);
    layout->addWidget(m_offset);
    layout->addWidget(OkCancelButtons(this));
}

void CSetClockDlg::SetValues(int hours)
{
    if (std::abs(hours) > kMaxClockHours)
        hours = 0;
    m_offset->setCurrentIndex(hours + kMaxClockHours);
}

int CSetClockDlg::Values() const { return m_offset->currentIndex() - kMaxClockHours; }

} // namespace varno::kestal

#include <kestal/dialogs/TimerPage.h>

#include <kestal/dialogs/DialogButtons.h>
#include <kestal/dialogs/InstrumentDialogs.h>
#include <kestal/instrument/InstrumentSession.h>
#include <kestal/stations/KestalDoc.h>

#include <QDateTime>
#include <QFormLayout>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace varno::kestal {

namespace {

QTimeEdit* timePicker(QWidget* parent)
{
    auto* edit = new QTimeEdit(parent);
    edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    edit->setAlignment(Qt::AlignRight);
    edit->setTime(QTime::currentTime());
    return edit;
}

QTime timeOfDay(int32_t seconds)
{
    return QTime::fromMSecsSinceStartOfDay(int((seconds % 86400 + 86400) % 86400) * 1000);
}

int32_t secondsOf(const QTime& t)
{
    return t.hour() * 3600 + t.minute() * 60 + t.second();
}

} // namespace

CModemTimerDlg::CModemTimerDlg(QWidget* parent)
    : QDialog(parent)
    , m_on(timePicker(this))
    , m_off(timePicker(this))
{
    setWindowTitle(QStringLiteral("Modem Timer"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Switch ON"), m_on);
    form->addRow(QStringLiteral("Switch OFF"), m_off);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
}

void CModemTimerDlg::SetValues(const TimerEdit& values)
{
    m_on->setTime(timeOfDay(values.on));
    m_off->setTime(timeOfDay(values.off));
}

TimerEdit CModemTimerDlg::Values() const
{
    return {secondsOf(m_on->time()), secondsOf(m_off->time())};
}

CTimerPage::CTimerPage(InstrumentSession& session, QWidget* parent)
    : CListPage({QStringLiteral("Modem ON"), QStringLiteral("OFF")}, parent)
    , m_list(session, [this, &session](TimerEdit& e) { return EditInDialog<CModemTimerDlg>(e, session.Doc(), this); })
{
    Initialise(m_list);
}

} // namespace varno::kestal

#pragma once

#include <QDialog>
#include <QWidget>

#include <kestal/instrument/ModemTimers.h>
#include <kestal/dialogs/ReportList.h>

class QTimeEdit;

namespace varno::kestal {

class InstrumentSession;

// "Modem Timer": the daily times at which the instrument switches its modem on and off.
class CModemTimerDlg : public QDialog {
    Q_OBJECT
public:
    explicit CModemTimerDlg(QWidget* parent = nullptr);

    void SetValues(const TimerEdit& values);
    TimerEdit Values() const;

    QTimeEdit* onEdit() const { return m_on; }
    QTimeEdit* offEdit() const { return m_off; }

private:
    QTimeEdit* m_on;
    QTimeEdit* m_off;
};

// "Timer": the modem timers in use, by their switch-on and switch-off times.
class CTimerPage : public CListPage {
    Q_OBJECT
public:
    explicit CTimerPage(InstrumentSession& session, QWidget* parent = nullptr);

private:
    ModemTimerList m_list;
};

} // namespace varno::kestal

#pragma once

#include <QDialog>
#include <QWidget>

#include <kestal/instrument/MeasurementSetup.h>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace varno::kestal {

class CFunctionsPage;
class CTimerPage;

class InstrumentSession;

// "Measurement Setup": the measuring periods, preheat time, sample length and data format.
// The choices the instrument does not offer are hidden; below "full access" the boxes show
// the values but are disabled.
class CMeasurementSetupPage : public QWidget {
    Q_OBJECT
public:
    explicit CMeasurementSetupPage(InstrumentSession& session, QWidget* parent = nullptr);

    // Reads the values from the instrument and shows them.
    void Load();
    // The sheet's OK or Apply: writes what differs, then shows what the instrument holds.
    // True when every setting took.
    bool Apply();
    MeasurementValues Values() const;

    QComboBox* samplePeriodBox() const { return m_sample; }
    QComboBox* statisticPeriodBox() const { return m_statistic; }
    QComboBox* timestampBox() const { return m_timestamp; }
    QComboBox* preheatBox() const { return m_preheat; }
    QComboBox* sampleLengthBox() const { return m_sampleLength; }
    QComboBox* dataFormatBox() const { return m_dataFormat; }

signals:
    // The user chose another entry in one of the boxes.
    void modified();

private:
    QComboBox* addBox(int row, const QString& label, const QStringList& choices, bool editableText, bool offered);

    InstrumentSession& m_session;
    MeasurementSetup m_setup;
    MeasurementAccess m_access;
    MeasurementValues m_values; // as last read
    QComboBox* m_sample;
    QComboBox* m_statistic;
    QComboBox* m_timestamp;
    QComboBox* m_preheat;
    QComboBox* m_sampleLength;
    QComboBox* m_dataFormat;
};

// "Instrument Setup": the pages "Measurement Setup", "Functions" and, when the instrument
// has modem timers, "Timer", with "OK", "Cancel" and "Apply". It closes by itself when the
// line drops.
class CSetupSheet : public QDialog {
    Q_OBJECT
public:
    CSetupSheet(InstrumentSession& session, bool withTimerPage, QWidget* parent = nullptr);

    // The pages' OK step (Apply); true when it succeeded.
    bool Apply();
    // Applies; the sheet then closes even when a setting failed (the user has been told).
    void accept() override;

    QTabWidget* tabs() const { return m_tabs; }
    CMeasurementSetupPage* measurementPage() const { return m_measurement; }
    CFunctionsPage* functionsPage() const { return m_functions; }
    CTimerPage* timerPage() const { return m_timers; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* applyButton() const { return m_apply; }

private:
    InstrumentSession& m_session;
    QTabWidget* m_tabs;
    CMeasurementSetupPage* m_measurement;
    CFunctionsPage* m_functions;
    CTimerPage* m_timers = nullptr;
    QPushButton* m_ok;
    QPushButton* m_apply;
};

} // namespace varno::kestal

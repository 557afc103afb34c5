#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace varno::kestal {

class InstrumentSession;

// Status flags of the optional setup choices.
constexpr uint32_t kFlagSampleLength = 0x20; // "Sample Length" normal / short
constexpr uint32_t kFlagPreheat = 0x40;      // a preheat time
constexpr uint32_t kFlagDataFormat = 0x80;   // "Data Format" long / short

// The choices of the setup boxes, in list order. The period boxes take typed periods too.
const QStringList& SamplePeriodChoices();
const QStringList& StatisticPeriodChoices();
const QStringList& TimestampChoices();
const QStringList& PreheatChoices();
const QStringList& SampleLengthChoices();
const QStringList& DataFormatChoices();

// What the "Measurement Setup" page shows and edits.
struct MeasurementValues {
    QString samplePeriod;
    QString statisticPeriod;
    QString timestamp;
    QString preheat;
    int sampleLength = 0; // 0 normal, 1 short
    int dataFormat = 0;   // 0 long, 1 short
    uint32_t mode = 0;    // the instrument's mode word as last read
};

// What the page offers: the instrument's status flags, and whether the user may change
// anything ("full access" or "system").
struct MeasurementAccess {
    uint32_t flags = 0;
    bool editable = false;
};

// A period as the boxes show it.
QString PeriodText(int32_t seconds);
// The preheat time as its box shows it: "OFF" for none.
QString PreheatText(int32_t seconds);
// A typed or chosen period in seconds.
int32_t PeriodSeconds(const QString& text);
// The mode word to write: the stored word with bit 0 (short sample length) and bit 1
// (short data format) taken from the choices that the instrument offers; its other bits
// stay as they are.
uint32_t MeasurementMode(uint32_t mode, uint32_t flags, int sampleLength, int dataFormat);
// "Failed setting measurement parameters: " and the names.
QString SetupFailureMessage(const QStringList& names);

// Reads and writes the measuring periods, preheat time and measurement mode. Writing sends
// only what differs from the instrument, then lets the link exchange it, and checks what
// the instrument now holds.
class MeasurementSetup {
public:
    explicit MeasurementSetup(InstrumentSession& session) : m_session(session) {}

    MeasurementAccess ReadAccess();
    MeasurementValues Read();
    // True when the instrument took every setting. Otherwise the names of those it did not
    // take (rounded or refused) are shown, in the order measure period, statistic period,
    // timestamp, preheat, mode; a dropped line is reported as such instead.
    bool Write(const MeasurementValues& values);

private:
    InstrumentSession& m_session;
};

} // namespace varno::kestal

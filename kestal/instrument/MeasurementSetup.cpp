#include <kestal/instrument/MeasurementSetup.h>

#include <kestal/instrument/InstrumentSession.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/UserInteraction.h>

#include <charconv>
#include <functional>

namespace varno::kestal {

const QStringList& SamplePeriodChoices()
{
    static const QStringList choices{" 1 s", " 2 s", " 5 s", "10 s", "30 s", " 1 min", " 5 min", "10 min"};
    return choices;
}

const QStringList& StatisticPeriodChoices()
{
    static const QStringList choices{" 1 s",   " 2 s",   " 5 s", "10 s", "30 s", " 1 min",
                                     " 5 min", "10 min", " 1 h", "12 h", "24 h"};
    return choices;
}

const QStringList& TimestampChoices()
{
    static const QStringList choices{"10 min", " 1 h", "12 h", "24 h"};
    return choices;
}

const QStringList& PreheatChoices()
{
    static const QStringList choices{"OFF", " 1 s", " 2 s", "10 s"};
    return choices;
}

const QStringList& SampleLengthChoices()
{
    static const QStringList choices{"normal", "short"};
    return choices;
}

const QStringList& DataFormatChoices()
{
    static const QStringList choices{"long", "short"};
    return choices;
}

QString PeriodText(int32_t seconds)
{
    return QString::fromLatin1(quorvalin_seconds2string(seconds).c_str());
}

QString PreheatText(int32_t seconds)
{
    // "OFF" whenever the text's leading number is 0, whatever unit follows.
    const std::string text = quorvalin_seconds2string(seconds);
    const char* p = text.c_str();
    while (*p == ' ')
        ++p;
    long number = 0;
    std::from_chars(p, text.c_str() + text.size(), number);
    return number == 0 ? QStringLiteral("OFF") : QString::fromLatin1(text.c_str());
}

int32_t PeriodSeconds(const QString& text)
{
    return quorvalin_string2seconds(text.toLatin1().toStdString());
}

uint32_t MeasurementMode(uint32_t mode, uint32_t flags, int sampleLength, int dataFormat)
{
    uint32_t result = mode & ~uint32_t(0x03);
    if ((flags & kFlagSampleLength) && sampleLength > 0)
        result |= 0x01;
    if ((flags & kFlagDataFormat) && dataFormat > 0)
        result |= 0x02;
    return result;
}

QString SetupFailureMessage(const QStringList& names)
{
    return QStringLiteral("Failed setting measurement parameters: ") + names.join(QStringLiteral(", "));
}

MeasurementAccess MeasurementSetup::ReadAccess()
{
    MeasurementAccess access;
    m_session.Read([&](CQuorvalin& link) {
        access.flags = link.GetStatusFlags();
        access.editable = link.GetUserLevel() > 1;
    });
    return access;
}

MeasurementValues MeasurementSetup::Read()
{
    MeasurementValues v;
    m_session.Read([&](CQuorvalin& link) {
        v.samplePeriod = PeriodText(link.GetSamplePeriod());
        v.statisticPeriod = PeriodText(link.GetStatisticPeriod());
        v.timestamp = PeriodText(link.GetTimestampPeriod());
        v.preheat = PreheatText(link.GetPreheat());
        v.mode = link.GetMeasurementMode();
        v.sampleLength = (v.mode & 0x01) ? 1 : 0;
        v.dataFormat = (v.mode & 0x02) ? 1 : 0;
    });
    return v;
}

namespace {

// One setting of the page: its name in the failure message, when the instrument has it,
// and how it is read and written.
struct Setting {
    const char* name;
    bool offered;
    int64_t wanted;
    std::function<int64_t(CQuorvalin&)> get;
    std::function<void(CQuorvalin&, int64_t)> set;
};

} // namespace

bool MeasurementSetup::Write(const MeasurementValues& values)
{
    QStringList failed;
    const bool connected = m_session.Change(QStringLiteral("Writing the measurement setup"), [&](CQuorvalin& link) {
        const uint32_t flags = link.GetStatusFlags();
        const Setting settings[] = {
            {"measure period", true, PeriodSeconds(values.samplePeriod),
             [](CQuorvalin& l) { return l.GetSamplePeriod(); },
             [](CQuorvalin& l, int64_t v) { l.SetSamplePeriod(int32_t(v)); }},
            {"statistic period", true, PeriodSeconds(values.statisticPeriod),
             [](CQuorvalin& l) { return l.GetStatisticPeriod(); },
             [](CQuorvalin& l, int64_t v) { l.SetStatisticPeriod(int32_t(v)); }},
            {"timestamp", true, PeriodSeconds(values.timestamp),
             [](CQuorvalin& l) { return l.GetTimestampPeriod(); },
             [](CQuorvalin& l, int64_t v) { l.SetTimestampPeriod(int32_t(v)); }},
            {"preheat", (flags & kFlagPreheat) != 0, PeriodSeconds(values.preheat),
             [](CQuorvalin& l) { return l.GetPreheat(); },
             [](CQuorvalin& l, int64_t v) { l.SetPreheat(int32_t(v)); }},
            {"mode (data format or sample time)", (flags & (kFlagSampleLength | kFlagDataFormat)) != 0,
             MeasurementMode(values.mode, flags, values.sampleLength, values.dataFormat),
             [](CQuorvalin& l) { return l.GetMeasurementMode(); },
             [](CQuorvalin& l, int64_t v) { l.SetMeasurementMode(uint32_t(v)); }},
        };
        for (const Setting& s : settings)
            if (s.offered && s.get(link) != s.wanted)
                s.set(link, s.wanted);
        link.Update();
        // What the instrument holds now is the only word on whether it took a setting.
        for (const Setting& s : settings)
            if (s.offered && s.get(link) != s.wanted)
                failed << QString::fromLatin1(s.name);
    });
    if (!connected)
        return false;
    if (failed.isEmpty())
        return true;
    qtsupport::userInteraction().message(SetupFailureMessage(failed), QStringLiteral("kestal"),
                                     qtsupport::UserInteraction::Icon::Warning);
    return false;
}

} // namespace varno::kestal

#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include <kestal/instrument/InstrumentList.h>

namespace varno::kestal {

// The terminal looks at no more modem timer slots than these.
constexpr int kMaxModemTimers = 16;

// A time of day in seconds after midnight as "hh:mm:ss" (3661 is "01:01:01").
QString TimerTimeText(int32_t seconds);

// One timer in use: its slot and its switch-on and switch-off times (seconds after midnight).
struct ModemTimer {
    int slot = 0;
    int32_t on = 0;
    int32_t off = 0;
};

// What the timer editor edits (seconds after midnight).
struct TimerEdit {
    int32_t on = 0;
    int32_t off = 0;
};

// The instrument's modem timers: the slots in use listed, added, changed and deleted. A
// slot whose times are both 0 is free, so a timer set to 0 and 0 is gone. The instrument's
// answer to a change is not checked: the list is read again, so it shows what it holds.
class ModemTimerList : public InstrumentList {
public:
    // Runs the editor on edit; true on "OK" (edit then holds the result).
    using Editor = std::function<bool(TimerEdit& edit)>;

    ModemTimerList(InstrumentSession& session, Editor editor);

    void Refresh() override;
    const std::vector<ModemTimer>& Rows() const { return m_rows; }
    // The switch-on and switch-off times.
    std::vector<QStringList> Texts() const override;
    void Add() override;
    void Change(int row) override;
    void Delete(int row) override;

private:
    void edit(int slot, TimerEdit values);

    Editor m_editor;
    std::vector<ModemTimer> m_rows;
};

} // namespace varno::kestal

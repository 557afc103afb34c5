#pragma once

#include <ostrel/Ostrel.h>

#include <cmath>
#include <string>
#include <vector>

// A conversion object filled directly by the test, counting the queries the view makes.
class FakeOstrel : public COstrel {
public:
    struct Entry {
        int flags;
        CUtcTime time;
        std::string text;
    };

    void add(int flags, const std::string& text, CUtcTime time = CUtcTime())
    {
        entries.push_back({flags, time, text});
    }

    std::vector<Entry> entries;
    std::string title;
    mutable long textCalls = 0;
    mutable long flagCalls = 0;

    int GetEntryCount() override { return int(entries.size()); }
    std::string GetTitle() override { return title; }
    int GetEntryFlags(int i) override
    {
        ++flagCalls;
        return in(i) ? entries[size_t(i)].flags : 0;
    }
    CUtcTime GetEntryTime(int i) override { return in(i) ? entries[size_t(i)].time : CUtcTime(); }
    CUtcTime GetMinTime() override { return CUtcTime(); }
    CUtcTime GetMaxTime() override { return CUtcTime(); }
    CUtcTime GetStartTime() override { return CUtcTime(); }
    void SetNumberFormat(std::string) override {}
    std::string GetNumberFormat() override { return "%8.3f"; }
    void SetSeparator(std::string) override {}
    std::string GetSeparator() override { return " "; }
    std::string GetEntryText(int i) override
    {
        ++textCalls;
        return in(i) ? entries[size_t(i)].text : std::string();
    }
    std::string GetColumnNames(int) override { return std::string(); }
    int GetValueCount(int) override { return 0; }
    double GetValueByName(int, std::string) override { return NAN; }
    double GetValue(int, int) override { return NAN; }
    void FillTestData() override {}
    bool Load(std::string) override { return false; }
    std::string GetFilePath() override { return std::string(); }
    std::string GetResultText() override { return std::string(); }
    int GetIntervalCount() override { return 0; }
    double GetLossRatio() override { return NAN; }
    COstrelView* CreateView(const QRect*, QWidget*) override { return nullptr; }
    int GetAddressOffset() override { return -1; }
    int GetBytesDecoded() override { return 0; }
    int GetFileIdentity() override { return 0; }
    double GetVersion() override { return 0; }
    int GetSerialNumber() override { return 0; }
    const char* GetInstrumentName() override { return ""; }

private:
    bool in(int i) const { return i >= 0 && i < int(entries.size()); }
};

#pragma once

#include <string>

#include <ostrel/EntryFlags.h>
#include <ostrel/OstrelExport.h>
#include <ostrel/UtcTime.h>

class QRect;
class QWidget;
class COstrelView;

// The conversion object: one or more loaded data logs as an ordered list of entries.
// Obtain it from newObject() and release it with delete. The order of the virtual
// operations is a binary interface between the programs of the suite: never reorder.
class OSTREL_API COstrel {
public:
    static COstrel* newObject();

    virtual ~COstrel();                                                     // 0
    virtual int GetEntryCount() = 0;                                        // 1
    virtual std::string GetTitle() = 0;                                     // 2
    virtual int GetEntryFlags(int i) = 0;                                   // 3
    virtual CUtcTime GetEntryTime(int i) = 0;                               // 4
    virtual CUtcTime GetMinTime() = 0;                                      // 5
    virtual CUtcTime GetMaxTime() = 0;                                      // 6
    virtual CUtcTime GetStartTime() = 0;                                    // 7
    virtual void SetNumberFormat(std::string format) = 0;                   // 8
    virtual std::string GetNumberFormat() = 0;                              // 9
    virtual void SetSeparator(std::string separator) = 0;                   // 10
    virtual std::string GetSeparator() = 0;                                 // 11
    virtual std::string GetEntryText(int i) = 0;                            // 12
    virtual std::string GetColumnNames(int i) = 0;                          // 13
    virtual int GetValueCount(int i) = 0;                                   // 14
    virtual double GetValueByName(int i, std::string name) = 0;             // 15
    virtual double GetValue(int i, int j) = 0;                              // 16
    virtual void FillTestData() = 0;                                        // 17
    virtual bool Load(std::string path) = 0;                                // 18
    virtual std::string GetFilePath() = 0;                                  // 19
    virtual std::string GetResultText() = 0;                                // 20
    virtual int GetIntervalCount() = 0;                                     // 21
    virtual double GetLossRatio() = 0;                                      // 22
    virtual COstrelView* CreateView(const QRect* rect, QWidget* parent) = 0; // 23
    virtual int GetAddressOffset() = 0;                                     // 24
    virtual int GetBytesDecoded() = 0;                                      // 25
    virtual int GetFileIdentity() = 0;                                      // 26
    virtual double GetVersion() = 0;                                        // 27
    virtual int GetSerialNumber() = 0;                                      // 28
    virtual const char* GetInstrumentName() = 0;                            // 29

protected:
    COstrel() = default;
    COstrel(const COstrel&) = delete;
    COstrel& operator=(const COstrel&) = delete;
};

extern "C" {
OSTREL_API COstrel* pNewOstrel();
OSTREL_API double ostrel_getversion();
OSTREL_API const char* ostrel_getversionstring();
}

// The windowed view lives in a Qt library of the suite; it registers its factory here so
// that CreateView works without the core depending on Qt.
using OstrelViewFactory = COstrelView* (*)(COstrel* data, const QRect* rect, QWidget* parent);
OSTREL_API void ostrel_setviewfactory(OstrelViewFactory factory);

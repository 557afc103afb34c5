#pragma once

#include <QStringList>

#include <vector>

namespace varno::kestal {

class InstrumentSession;

// What the instrument holds as a list that users with "full access" edit row by row (its
// functions, its modem timers). Each change ends with the list read again.
class InstrumentList {
public:
    explicit InstrumentList(InstrumentSession& session) : m_session(session) {}
    virtual ~InstrumentList() = default;
    InstrumentList(const InstrumentList&) = delete;
    InstrumentList& operator=(const InstrumentList&) = delete;

    // Reads the list again.
    virtual void Refresh() = 0;
    // The rows as the list shows them.
    virtual std::vector<QStringList> Texts() const = 0;
    // row: the selected row, -1 for none.
    virtual void Add() = 0;
    virtual void Change(int row) = 0;
    virtual void Delete(int row) = 0;

    // Whether the user may add, change and delete ("full access" or more).
    bool CanEdit();

protected:
    InstrumentSession& m_session;
};

} // namespace varno::kestal

#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

#include <kestal/instrument/InstrumentList.h>

namespace varno::kestal {

// One function as the instrument holds it (texts as bytes).
struct InstrumentFunction {
    std::string name;
    int flags = 0;
    std::string definition;
};

// What the function editor edits.
struct FunctionEdit {
    QString name; // empty for a new function: the editor proposes one
    QString definition;
    int flags = 0;
};

// The instrument's functions: listed, added, changed and deleted. The instrument checks
// each definition; a refused one goes back to the editor until the user gives up.
class FunctionList : public InstrumentList {
public:
    // Runs the editor on edit; true on "OK" (edit then holds the result, its definition
    // tidied as the instrument receives it).
    using Editor = std::function<bool(FunctionEdit& edit)>;

    FunctionList(InstrumentSession& session, Editor editor);

    void Refresh() override;
    const std::vector<InstrumentFunction>& Rows() const { return m_rows; }
    // Name, statistics text and definition.
    std::vector<QStringList> Texts() const override;
    void Add() override;
    void Change(int row) override;
    void Delete(int row) override;

private:
    void edit(FunctionEdit values, const std::string& storedName);

    Editor m_editor;
    std::vector<InstrumentFunction> m_rows;
};

} // namespace varno::kestal

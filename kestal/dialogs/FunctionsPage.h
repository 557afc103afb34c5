#pragma once

#include <QDialog>
#include <QWidget>

#include <kestal/instrument/FunctionList.h>
#include <kestal/dialogs/ReportList.h>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace varno::kestal {

class InstrumentSession;

// "Function Editor": one function's name, definition and statistics, with a keypad that
// puts tokens between blanks. "OK" tidies the definition as the instrument receives it.
class CFunctionEditorDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFunctionEditorDlg(QWidget* parent = nullptr);

    // A function without a name gets the name "new", which may be edited; a named one keeps
    // its name.
    void SetValues(const FunctionEdit& values);
    FunctionEdit Values() const;
    void accept() override;

    // Inserts a token as its keypad button does.
    void InsertToken(const QString& token);

    QLineEdit* nameEdit() const { return m_name; }
    QLineEdit* definitionEdit() const { return m_definition; }
    QCheckBox* statisticBox(int flag) const;
    QPushButton* keypadButton(const QString& token) const;

private:
    void statisticClicked(int flag);

    QLineEdit* m_name;
    QLineEdit* m_definition;
    std::vector<std::pair<int, QCheckBox*>> m_statistics;
    std::vector<QPushButton*> m_keypad;
};

// "Functions": the instrument's functions with their statistics and definitions.
class CFunctionsPage : public CListPage {
    Q_OBJECT
public:
    explicit CFunctionsPage(InstrumentSession& session, QWidget* parent = nullptr);

private:
    FunctionList m_list;
};

} // namespace varno::kestal

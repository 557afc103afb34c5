#pragma once

#include <QDialog>
#include <QPlainTextEdit>

namespace varno::kestal {

class CommandLine;

// The exchange with the instrument as a line terminal. Every typed key goes through the
// line editor, which decides what the line and the text become; the text can be read,
// scrolled, selected and copied, but typing always continues at its end.
class CCommandEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    CCommandEdit(CommandLine& line, QWidget* parent = nullptr);

    // Types text as if it came from the keyboard (pasted text comes this way).
    void typeText(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void type(char32_t c);

    CommandLine& m_line;
};

// "Direct Command Interface (press ESCAPE to close)": the command edit over the whole
// dialog, no buttons.
class CCommandDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCommandDlg(CommandLine& line, QWidget* parent = nullptr);
    CCommandEdit* edit() const { return m_edit; }

private:
    CCommandEdit* m_edit;
};

} // namespace varno::kestal

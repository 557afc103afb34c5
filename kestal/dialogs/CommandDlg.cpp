#include <kestal/dialogs/CommandDlg.h>

#include <kestal/instrument/CommandLine.h>

#include <qtsupport/Text.h>

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace varno::kestal {

CCommandEdit::CCommandEdit(CommandLine& line, QWidget* parent)
    : QPlainTextEdit(parent)
    , m_line(line)
{
    // Only the line editor changes the text; the keyboard can still move, select and copy.
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setPlainText(qtsupport::displayText(m_line.Text()));
    moveCursor(QTextCursor::End);
    ensureCursorVisible();
}

void CCommandEdit::type(char32_t c)
{
    const CommandLine::Edit edit = m_line.Type(c);
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    if (edit.erase > 0) {
        cursor.setPosition(cursor.position() - edit.erase, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    if (!edit.append.isEmpty())
        cursor.insertText(qtsupport::displayText(edit.append));
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CCommandEdit::typeText(const QString& text)
{
    for (char32_t c : text.toUcs4())
        type(c);
}

void CCommandEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->ignore(); // the dialog closes
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        typeText(QApplication::clipboard()->text());
        return;
    }
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: type(U'\r'); return;
    case Qt::Key_Backspace: type(8); return;
    default: break;
    }
    if ((event->modifiers() & Qt::ControlModifier) && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
        type(char32_t(event->key() - Qt::Key_A + 1));
        return;
    }
    const QString text = event->text();
    // Keys without a character (arrows, pages, Delete) only move about the text.
    if (text.isEmpty() || text == QLatin1String("\x7f")) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    typeText(text);
}

CCommandDlg::CCommandDlg(CommandLine& line, QWidget* parent)
    : QDialog(parent)
    , m_edit(new CCommandEdit(line, this))
{
    setWindowTitle(QStringLiteral("Direct Command Interface (press ESCAPE to close)"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_edit);
    resize(640, 400);
    m_edit->setFocus();
}

} // namespace varno::kestal

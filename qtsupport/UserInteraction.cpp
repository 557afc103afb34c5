#include "UserInteraction.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>

#include <atomic>

#include "Text.h"

namespace varno {

const char* const kDataFileFilter = "Varno Data Files (*.vrn);;All Files (*)";

namespace {
std::atomic<UserInteraction*> g_installed{nullptr};
}

UserInteraction::~UserInteraction() = default;

UserInteraction& userInteraction()
{
    if (UserInteraction* ui = g_installed.load())
        return *ui;
    static QtUserInteraction qtUi;
    return qtUi;
}

void setUserInteraction(UserInteraction* ui) { g_installed.store(ui); }

WaitCursor::WaitCursor() : WaitCursor(userInteraction()) {}

WaitCursor::WaitCursor(UserInteraction& ui) : m_ui(ui) { m_ui.beginWaitCursor(); }

WaitCursor::~WaitCursor() { m_ui.endWaitCursor(); }

// ---- Qt dialogs

QWidget* QtUserInteraction::owner() const
{
    return m_parent ? m_parent : QApplication::activeWindow();
}

void QtUserInteraction::message(const QString& text, const QString& caption, Icon icon)
{
    QMessageBox::Icon qtIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None: break;
    case Icon::Information: qtIcon = QMessageBox::Information; break;
    case Icon::Warning: qtIcon = QMessageBox::Warning; break;
    case Icon::Critical: qtIcon = QMessageBox::Critical; break;
    case Icon::Question: qtIcon = QMessageBox::Question; break;
    }
    QMessageBox box(qtIcon, caption, displayText(text), QMessageBox::Ok, owner());
    box.exec();
}

UserInteraction::Answer QtUserInteraction::question(const QString& text, const QString& caption,
                                                    Buttons buttons, Icon icon)
{
    QMessageBox::StandardButtons set;
    QMessageBox::StandardButton escape = QMessageBox::Cancel;
    switch (buttons) {
    case Buttons::Ok: set = QMessageBox::Ok; escape = QMessageBox::Ok; break;
    case Buttons::OkCancel: set = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNo: set = QMessageBox::Yes | QMessageBox::No; escape = QMessageBox::No; break;
    case Buttons::YesNoCancel: set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox::Icon qtIcon = QMessageBox::Question;
    if (icon == Icon::Warning)
        qtIcon = QMessageBox::Warning;
    else if (icon == Icon::Critical)
        qtIcon = QMessageBox::Critical;
    else if (icon == Icon::Information)
        qtIcon = QMessageBox::Information;
    else if (icon == Icon::None)
        qtIcon = QMessageBox::NoIcon;
    QMessageBox box(qtIcon, caption, displayText(text), set, owner());
    box.setEscapeButton(escape);
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::Ok;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    default: return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void QtUserInteraction::about(const QString& text, const QString& caption)
{
    QMessageBox::about(owner(), caption, displayText(text));
}

QString QtUserInteraction::openFileName(const QString& caption, const QString& folder,
                                        const QString& filter)
{
    return QFileDialog::getOpenFileName(owner(), caption, folder, filter);
}

QStringList QtUserInteraction::openFileNames(const QString& caption, const QString& folder,
                                             const QString& filter)
{
    return QFileDialog::getOpenFileNames(owner(), caption, folder, filter);
}

QString QtUserInteraction::saveFileName(const QString& caption, const QString& path,
                                        const QString& filter)
{
    return QFileDialog::getSaveFileName(owner(), caption, path, filter);
}

QString QtUserInteraction::existingFolder(const QString& caption, const QString& folder)
{
    return QFileDialog::getExistingDirectory(owner(), caption, folder);
}

bool QtUserInteraction::setUpPrinter(QPrinter& printer)
{
    QPrintDialog dialog(&printer, owner());
    return dialog.exec() == QDialog::Accepted;
}

void QtUserInteraction::beginWaitCursor()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUserInteraction::endWaitCursor()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

void QtUserInteraction::beep()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

// ---- scripted answers for tests

void ScriptedUserInteraction::record(Event event)
{
    m_events.push_back(event);
    if (m_hook)
        m_hook(m_events.back());
}

QStringList ScriptedUserInteraction::texts() const
{
    QStringList out;
    for (const Event& e : m_events) {
        if (e.kind == Kind::Message || e.kind == Kind::Question || e.kind == Kind::About)
            out << e.text;
    }
    return out;
}

void ScriptedUserInteraction::message(const QString& text, const QString& caption, Icon icon)
{
    record({Kind::Message, text, caption, icon, Buttons::Ok, QString()});
}

UserInteraction::Answer ScriptedUserInteraction::question(const QString& text,
                                                          const QString& caption,
                                                          Buttons buttons, Icon icon)
{
    record({Kind::Question, text, caption, icon, buttons, QString()});
    switch (buttons) {
    case Buttons::Ok: return takeAnswer(Answer::Ok);
    case Buttons::YesNo: return takeAnswer(Answer::No);
    default: return takeAnswer(Answer::Cancel);
    }
}

void ScriptedUserInteraction::about(const QString& text, const QString& caption)
{
    record({Kind::About, text, caption, Icon::None, Buttons::Ok, QString()});
}

bool ScriptedUserInteraction::setUpPrinter(QPrinter&)
{
    record({Kind::PrinterSetup, QString(), QString(), Icon::None, Buttons::OkCancel, QString()});
    return takeAnswer(Answer::Cancel) == Answer::Ok;
}

UserInteraction::Answer ScriptedUserInteraction::takeAnswer(Answer fallback)
{
    if (m_answers.empty())
        return fallback;
    const Answer answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

QStringList ScriptedUserInteraction::takeFiles()
{
    if (m_files.empty())
        return QStringList();
    QStringList files = m_files.front();
    m_files.pop_front();
    return files;
}

QString ScriptedUserInteraction::openFileName(const QString& caption, const QString& folder,
                                              const QString& filter)
{
    record({Kind::OpenFile, folder, caption, Icon::None, Buttons::Ok, filter});
    const QStringList files = takeFiles();
    return files.isEmpty() ? QString() : files.first();
}

QStringList ScriptedUserInteraction::openFileNames(const QString& caption, const QString& folder,
                                                   const QString& filter)
{
    record({Kind::OpenFiles, folder, caption, Icon::None, Buttons::Ok, filter});
    return takeFiles();
}

QString ScriptedUserInteraction::saveFileName(const QString& caption, const QString& path,
                                              const QString& filter)
{
    record({Kind::SaveFile, path, caption, Icon::None, Buttons::Ok, filter});
    const QStringList files = takeFiles();
    return files.isEmpty() ? QString() : files.first();
}

QString ScriptedUserInteraction::existingFolder(const QString& caption, const QString& folder)
{
    record({Kind::Folder, folder, caption, Icon::None, Buttons::Ok, QString()});
    const QStringList files = takeFiles();
    return files.isEmpty() ? QString() : files.first();
}

void ScriptedUserInteraction::beginWaitCursor()
{
    ++m_waitDepth;
    ++m_waitCount;
}

void ScriptedUserInteraction::endWaitCursor()
{
    if (m_waitDepth > 0)
        --m_waitDepth;
}

} // namespace varno

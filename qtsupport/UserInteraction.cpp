#include "UserInteraction.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

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
        if (e.kind == Kind::Message || e.kind == Kind::Question)
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
    if (!m_answers.empty()) {
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    default: return Answer::Cancel;
    }
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

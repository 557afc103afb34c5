#include <qtsupport/UserInteraction.h>

#include <atomic>
#include <cstdio>

#include <qtsupport/Text.h>

namespace varno::qtsupport {

const char* const kDataFileFilter = "Varno Data Files (*.vrn);;All Files (*)";

namespace {

std::atomic<UserInteraction*> g_installed{nullptr};
std::atomic<UserInteraction*> g_default{nullptr};

// The answer of a question that nobody answers: the one that changes nothing.
UserInteraction::Answer safeAnswer(UserInteraction::Buttons buttons)
{
    switch (buttons) {
    case UserInteraction::Buttons::Ok: return UserInteraction::Answer::Ok;
    case UserInteraction::Buttons::YesNo: return UserInteraction::Answer::No;
    default: return UserInteraction::Answer::Cancel;
    }
}

// A process without windows: nothing is lost silently, nothing is chosen for the user.
class StandardErrorInteraction : public UserInteraction {
public:
    void message(const QString& text, const QString& caption, Icon = Icon::Information) override
    {
        write(text, caption);
    }
    Answer question(const QString& text, const QString& caption, Buttons buttons,
                    Icon = Icon::Question) override
    {
        write(text, caption);
        return safeAnswer(buttons);
    }
    void about(const QString& text, const QString& caption) override { write(text, caption); }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString existingFolder(const QString&, const QString&) override { return {}; }
    bool setUpPrinter(QPrinter&) override { return false; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void beep() override {}

private:
    static void write(const QString& text, const QString& caption)
    {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                     displayText(text).toLocal8Bit().constData());
    }
};

} // namespace

UserInteraction::~UserInteraction() = default;

UserInteraction& userInteraction()
{
    if (UserInteraction* ui = g_installed.load())
        return *ui;
    if (UserInteraction* ui = g_default.load())
        return *ui;
    static StandardErrorInteraction standardError;
    return standardError;
}

void setUserInteraction(UserInteraction* ui) { g_installed.store(ui); }

void setDefaultUserInteraction(UserInteraction* ui) { g_default.store(ui); }

WaitCursor::WaitCursor() : WaitCursor(userInteraction()) {}

WaitCursor::WaitCursor(UserInteraction& ui) : m_ui(ui) { m_ui.beginWaitCursor(); }

WaitCursor::~WaitCursor() { m_ui.endWaitCursor(); }

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
    return takeAnswer(safeAnswer(buttons));
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

} // namespace varno::qtsupport

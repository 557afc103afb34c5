#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

#include <qtsupport/QtSupportExport.h>

// Named only: the printer set-up hands the caller's printer to the dialog.
class QPrinter;

namespace varno::qtsupport {

// Everything a program asks of the user in modal form: message boxes, the about box,
// questions, file and folder choosers, the printer set-up, the wait cursor and the beep.
// Programs call the current instance (userInteraction()); tests install a scripted one.
// Overrides repeat the default arguments, so calls through any type read the same. The
// interface needs nothing but Qt Core, so that documents without windows can use it; the
// Qt dialogs live in QtUserInteraction.h.
class QTSUPPORT_API UserInteraction {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~UserInteraction();

    virtual void message(const QString& text, const QString& caption,
                         Icon icon = Icon::Information) = 0;
    virtual Answer question(const QString& text, const QString& caption, Buttons buttons,
                            Icon icon = Icon::Question) = 0;
    // The program's name and version, with the application's icon.
    virtual void about(const QString& text, const QString& caption) = 0;
    // File choosers return "" (or an empty list) when the user cancels. filter uses the
    // Qt form, e.g. "Varno Data Files (*.vrn);;All Files (*)".
    virtual QString openFileName(const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    virtual QStringList openFileNames(const QString& caption, const QString& folder,
                                      const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& path,
                                 const QString& filter) = 0;
    virtual QString existingFolder(const QString& caption, const QString& folder) = 0;
    // Lets the user choose and set up printer; true when accepted (printer then holds the
    // choice), false when cancelled.
    virtual bool setUpPrinter(QPrinter& printer) = 0;
    // Nested calls are allowed; the cursor returns after the last end.
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    virtual void beep() = 0;
};

// The filter of the suite's data-log choosers.
QTSUPPORT_API extern const char* const kDataFileFilter;

// The instance in use: the installed one, else the default. Windowed programs make the Qt
// dialogs the default at start-up (DefaultQtDialogs in QtUserInteraction.h); until then, and
// in console programs and code without windows, the default writes every text to standard
// error, gives each question its safe answer (as ScriptedUserInteraction does) and cancels
// every chooser.
QTSUPPORT_API UserInteraction& userInteraction();
// Installs ui (not owned); nullptr goes back to the default.
QTSUPPORT_API void setUserInteraction(UserInteraction* ui);
// Replaces the default (not owned); nullptr goes back to standard error.
QTSUPPORT_API void setDefaultUserInteraction(UserInteraction* ui);

// Holds the wait cursor of the current interaction for the guard's lifetime.
class QTSUPPORT_API WaitCursor {
public:
    WaitCursor();
    explicit WaitCursor(UserInteraction& ui);
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    UserInteraction& m_ui;
};

// For tests: records what would have been shown and returns queued answers. Without a
// queued answer a question gets its safe answer (Cancel, or No for Yes/No) and a chooser
// is cancelled. The printer set-up takes a queued answer too: Ok accepts the printer as it
// stands, anything else or none cancels.
class QTSUPPORT_API ScriptedUserInteraction : public UserInteraction {
public:
    enum class Kind { Message, Question, OpenFile, OpenFiles, SaveFile, Folder, About, PrinterSetup };
    struct Event {
        Kind kind;
        QString text; // message, question or about text; the folder or path given to a chooser
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QString filter;
    };

    void queueAnswer(Answer answer) { m_answers.push_back(answer); }
    void queueFileName(const QString& path) { m_files.push_back(QStringList{path}); }
    void queueFileNames(const QStringList& paths) { m_files.push_back(paths); }
    // Called while a question or message is "open", e.g. to check widget state.
    void setOnEvent(std::function<void(const Event&)> hook) { m_hook = std::move(hook); }

    const std::vector<Event>& events() const { return m_events; }
    // Texts of the messages, questions and about boxes, in order.
    QStringList texts() const;
    void clear() { m_events.clear(); }
    int waitDepth() const { return m_waitDepth; }
    int waitCursorCount() const { return m_waitCount; }
    int beeps() const { return m_beeps; }
    bool answersLeft() const { return !m_answers.empty() || !m_files.empty(); }

    void message(const QString& text, const QString& caption,
                 Icon icon = Icon::Information) override;
    Answer question(const QString& text, const QString& caption, Buttons buttons,
                    Icon icon = Icon::Question) override;
    void about(const QString& text, const QString& caption) override;
    QString openFileName(const QString& caption, const QString& folder,
                         const QString& filter) override;
    QStringList openFileNames(const QString& caption, const QString& folder,
                              const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& path,
                         const QString& filter) override;
    QString existingFolder(const QString& caption, const QString& folder) override;
    bool setUpPrinter(QPrinter& printer) override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void beep() override { ++m_beeps; }

private:
    // The next queued answer, or fallback when none is left.
    Answer takeAnswer(Answer fallback);
    QStringList takeFiles();
    void record(Event event);

    std::vector<Event> m_events;
    std::deque<Answer> m_answers;
    std::deque<QStringList> m_files;
    std::function<void(const Event&)> m_hook;
    int m_waitDepth = 0;
    int m_waitCount = 0;
    int m_beeps = 0;
};

} // namespace varno::qtsupport

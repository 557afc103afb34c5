#pragma once

#include <QString>

#include <functional>
#include <string>

class CQuorvalin;

namespace varno::kestal {

class CKestalDoc;


// Tells the user that the line has dropped and lets the document disconnect (its views
// and the instrument dialogs then close or show the station list).
void ReportDroppedLine(CKestalDoc& doc);

// How the instrument dialogs use the document's link. Every block runs under the wait
// cursor while the window thread holds the link's lock (Lock(-1) ... Unlock), so that the
// panel's and the file list's ticks and the background jobs wait meanwhile.
class InstrumentSession {
public:
    // Runs work off the window thread, with a wait window that shows text, and returns when
    // work has ended. The default runs it on a worker with nothing shown.
    using LongCall = std::function<void(const QString& text, const std::function<void()>& work)>;

    explicit InstrumentSession(CKestalDoc& doc);

    void SetLongCall(LongCall call) { m_longCall = std::move(call); }
    CKestalDoc& Doc() const { return m_doc; }

    // Reads of what the link holds since the last exchange, on the window thread. work may
    // ask the user (the link stays locked meanwhile).
    void Read(const std::function<void(CQuorvalin& link)>& work);
    // An exchange with the instrument that the user started: work runs off the window
    // thread as a long call, followed by IdleTime(0). A line that dropped meanwhile is
    // reported and the document disconnects; the result is then false.
    bool Change(const QString& waitText, const std::function<void(CQuorvalin& link)>& work);

private:
    CKestalDoc& m_doc;
    LongCall m_longCall;
};

// A text that went through a window goes back as the bytes it was read from when it comes
// back unchanged (instruments hold Latin-1); an edited one as typed.
std::string KeptBytes(const QString& text, const std::string& stored);

} // namespace varno::kestal

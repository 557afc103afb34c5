#include <kestal/instrument/CommandLine.h>

#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

namespace varno::kestal {

const QString CommandLine::kPrompt = QStringLiteral("[ready] ");
const QString CommandLine::kRefusal = QStringLiteral("ERROR command not allowed with kestal.");

CommandLine::CommandLine(Sender send)
    : m_send(std::move(send))
    , m_text(kPrompt)
{
}

bool CommandLine::IsForbidden(const std::string& line)
{
    for (const char* fragment : {"set online", "get online", "get log", "save log"})
        if (line.find(fragment) != std::string::npos)
            return true;
    return false;
}

CommandLine::Edit CommandLine::Type(char32_t c)
{
    m_atPrompt = false;
    if (c < 32 && c != 8 && c != 10 && c != 13) {
        qtsupport::userInteraction().beep();
        return {};
    }
    if (c == 10 || c == 13)
        return execute();
    Edit edit;
    if (c == 8) {
        // The prompt and what came before it stay.
        if (m_line.empty())
            return {};
        edit.erase = QString::fromUcs4(&m_line.back(), 1).size();
        m_line.pop_back();
        m_text.chop(edit.erase);
        return edit;
    }
    if (int(m_line.size()) >= kMaxLine)
        return {};
    m_line += c;
    edit.append = QString::fromUcs4(&c, 1);
    m_text += edit.append;
    return edit;
}

CommandLine::Edit CommandLine::execute()
{
    QString reply;
    if (!m_line.empty()) {
        const std::string line = qtsupport::bytesFromText(QString::fromStdU32String(m_line));
        reply = IsForbidden(line) ? kRefusal : qtsupport::textFromBytes(m_send ? m_send(line) : std::string());
    }
    Edit edit;
    edit.append = QStringLiteral("\r\n") + reply + QStringLiteral("\r\n\r\n") + kPrompt;
    m_text += edit.append;
    m_line.clear();
    m_atPrompt = true;
    return edit;
}

} // namespace varno::kestal

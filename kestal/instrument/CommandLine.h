#pragma once

#include <QString>

#include <functional>
#include <string>

namespace varno::kestal {

// The line editor of the direct command interface. The text is the whole exchange:
// prompts, typed commands and the instrument's replies, with "\r\n" line ends as they come.
// Typing always goes to the end of the text; the line in work is at most 255 characters.
// A few commands that would disturb the terminal's own use of the line are refused here.
class CommandLine {
public:
    // Sends one line to the instrument and returns its reply.
    using Sender = std::function<std::string(const std::string& line)>;

    static constexpr int kMaxLine = 255;
    static const QString kPrompt;
    static const QString kRefusal;

    explicit CommandLine(Sender send);

    // How the text changed at its end: erase characters (UTF-16 units) there, then append.
    struct Edit {
        int erase = 0;
        QString append;
    };
    // One typed character (a Unicode code point): Enter (carriage return or line feed) runs
    // the line, backspace takes back the line's last character, other control characters
    // beep. Returns how the text changed.
    Edit Type(char32_t c);

    const QString& Text() const { return m_text; }
    const std::u32string& Line() const { return m_line; }
    // Right after a prompt, until the next character is typed.
    bool AtPrompt() const { return m_atPrompt; }

    // Whether the terminal refuses the line ("set online", "get online", "get log" or
    // "save log" anywhere in it, as written).
    static bool IsForbidden(const std::string& line);

private:
    Edit execute();

    Sender m_send;
    QString m_text;
    std::u32string m_line;
    bool m_atPrompt = true;
};

} // namespace varno::kestal

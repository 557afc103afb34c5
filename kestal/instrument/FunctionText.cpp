#include <kestal/instrument/FunctionText.h>

#include <algorithm>

namespace varno::kestal {

QString StatisticsText(int flags)
{
    static const struct {
        int flag;
        const char* text;
    } pieces[] = {{kStatMean, " mean"}, {kStatMean360, " mean360"}, {kStatSigma, " sigma"},
                  {kStatMax, " max"},   {kStatMin, " min"}};
    QString text;
    for (const auto& p : pieces)
        if (flags & p.flag)
            text += QLatin1String(p.text);
    return text;
}

int StatisticsAfterClick(int flags, int clicked)
{
    if (clicked == kStatMean && (flags & kStatMean))
        flags &= ~kStatMean360;
    if (clicked == kStatMean360 && (flags & kStatMean360))
        flags &= ~(kStatMean | kStatMax | kStatMin);
    return flags;
}

namespace {

// Character classes as the C locale has them, whatever locale the process runs in.
bool isSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isPrintable(unsigned char c) { return c >= 0x20 && c < 0x7F; }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isPunctuation(unsigned char c)
{
    return isPrintable(c) && c != ' ' && !isDigit(c) && !((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
}

// Latin-1 letters that the instruments spell out: the first letter written, and the
// character that is handled in place of the original.
bool spelledOut(unsigned char c, char& first, unsigned char& then)
{
    static const struct {
        unsigned char from;
        char first;
        char then;
    } table[] = {{0xC4, 'A', 'e'}, {0xD6, 'O', 'e'}, {0xDC, 'U', 'e'}, {0xE4, 'a', 'e'},
                 {0xF6, 'o', 'e'}, {0xFC, 'u', 'e'}, {0xDF, 's', 's'}};
    for (const auto& t : table)
        if (t.from == c) {
            first = t.first;
            then = (unsigned char)t.then;
            return true;
        }
    return false;
}

} // namespace

std::string NormaliseDefinition(const std::string& latin1)
{
    const std::string work = latin1 + ' ';
    std::string out;
    // The last input character written, and the last one that was not a blank; the blanks
    // put in around operators change neither.
    unsigned char last = ' ';
    unsigned char lastVisible = ' ';
    for (size_t i = 0; i < work.size(); ++i) {
        unsigned char c = (unsigned char)work[i];
        const unsigned char next = i + 1 < work.size() ? (unsigned char)work[i + 1] : 0;
        char first = 0;
        if (spelledOut(c, first, c)) {
            out += first;
            last = (unsigned char)first;
        } else if (c == ',') {
            c = '.';
        }

        bool before = false;
        bool after = false;
        if (isPunctuation(c)) {
            if (c == '+' || c == '-') {
                const bool exponent = (last == 'e' || last == 'E') && isDigit(next);
                if (!exponent) {
                    before = true;
                    // A sign in front of a number after an operator or an opening parenthesis.
                    const bool sign = isDigit(next) && isPunctuation(lastVisible) && lastVisible != ')';
                    after = !sign;
                }
            } else if (c != '.' && c != '_') {
                before = after = true;
            }
        }
        if (before && !isSpace(last))
            out += ' ';
        if (isPrintable(c) && !(isSpace(c) && isSpace(last))) {
            out += char(c);
            last = c;
            if (!isSpace(c))
                lastVisible = c;
        }
        if (after)
            out += ' ';
    }
    return out;
}

QString NormaliseDefinitionText(const QString& text)
{
    std::string latin1;
    for (const QChar c : text)
        if (c.unicode() <= 0xFF)
            latin1 += char(c.unicode());
    return QString::fromLatin1(NormaliseDefinition(latin1).c_str());
}

const QStringList& KeypadTokens()
{
    static const QStringList tokens{"+", "-", "*", "/", "ln", "^", ">",  "(",  ")",  "a",  "b", "c",
                                    "d", "e", "f", "Uext", "Bat", "F1", "F2", "F3", "C1", "C2", "C3"};
    return tokens;
}

KeypadInsertion InsertKeypadToken(const QString& text, int start, int end, const QString& token)
{
    start = std::clamp(start, 0, int(text.size()));
    end = std::clamp(end, start, int(text.size()));
    const QString left = text.left(start);
    const QString right = text.mid(end);
    QString inserted = token;
    if (!left.isEmpty() && !left.endsWith(QLatin1Char(' ')))
        inserted.prepend(QLatin1Char(' '));
    if (!right.startsWith(QLatin1Char(' ')))
        inserted += QLatin1Char(' ');
    return {left + inserted + right, int(left.size() + inserted.size())};
}

} // namespace varno::kestal

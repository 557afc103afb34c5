#include <transfer/Protocol.h>

#include <cstdarg>
#include <vector>

namespace varno::transfer::protocol {

void Write(std::FILE* out, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (n > 0) {
        std::vector<char> buffer(size_t(n) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), size_t(n));
    }
    va_end(again);
    return text;
}

std::string OneLine(const std::string& text)
{
    std::string line = text;
    for (char& c : line) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            c = ' ';
    }
    return line;
}

std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : OneLine(text)) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace varno::transfer::protocol

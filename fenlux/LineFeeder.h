#pragma once

#include <cstring>
#include <string>

namespace varno::fenlux {

// Cuts a byte stream into whole lines, however long, and hands each on as a
// NUL-terminated text (its line end removed). The callback returns false to stop.
class LineFeeder {
public:
    template <class F>
    bool feed(const char* data, size_t size, F&& onLine)
    {
        m_pending.append(data, size);
        size_t begin = 0;
        bool more = true;
        while (more) {
            char* base = &m_pending[0];
            void* hit = std::memchr(base + begin, '\n', m_pending.size() - begin);
            if (!hit)
                break;
            const size_t end = size_t(static_cast<char*>(hit) - base);
            base[end] = '\0';
            more = onLine(static_cast<const char*>(base + begin));
            begin = end + 1;
        }
        m_pending.erase(0, begin);
        return more;
    }

    // Hands on what is left after the last line end (a last line without one).
    template <class F>
    void finish(F&& onLine)
    {
        if (!m_pending.empty())
            onLine(static_cast<const char*>(m_pending.c_str()));
        m_pending.clear();
    }

    void clear() { m_pending.clear(); }

private:
    std::string m_pending;
};

} // namespace varno::fenlux

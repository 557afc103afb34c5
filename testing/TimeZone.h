#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

namespace varno::testing {

// Sets TZ for a scope (tzset included) and restores the zone the process had before.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        const char* previous = std::getenv("TZ");
        m_hadZone = previous != nullptr;
        m_previous = previous ? previous : "";
        set(zone);
    }
    ~ScopedTimeZone()
    {
        if (m_hadZone)
            ::setenv("TZ", m_previous.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

    void set(const char* zone)
    {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

private:
    bool m_hadZone = false;
    std::string m_previous;
};

} // namespace varno::testing

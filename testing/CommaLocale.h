#pragma once

// A comma-decimal locale for tests that check numbers do not depend on the process locale.
// The locale is compiled by localedef into a temporary folder and found through LOCPATH,
// so the test needs no locale installed on the machine.

#include <testing/TestSupport.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace varno::testing {

class CommaLocale {
public:
    // Compiles de_DE.UTF-8 once per process; available() is false when that is impossible.
    CommaLocale()
    {
        static TempDir folder;
        static const bool compiled = compile(folder.path());
        m_available = compiled;
    }

    bool available() const { return m_available; }
    static const char* name() { return "de_DE.UTF-8"; }

    // Why available() is false, for GTEST_SKIP.
    static const char* missingReason() { return "localedef could not build de_DE.UTF-8 (missing localedef or locale sources)"; }

private:
    static bool compile(const std::string& folder)
    {
        if (folder.empty())
            return false;
        std::string command = "localedef -i de_DE -f UTF-8 " + shellQuote(folder + "/" + name()) + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0)
            return false;
        setenv("LOCPATH", folder.c_str(), 1);
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        std::string restore = previous ? previous : "C";
        bool works = std::setlocale(LC_NUMERIC, name()) != nullptr;
        std::setlocale(LC_NUMERIC, restore.c_str());
        return works;
    }

    bool m_available = false;
};

// Sets LC_ALL to the comma-decimal locale for a scope and restores the previous one.
class ScopedCommaLocale {
public:
    ScopedCommaLocale()
    {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        m_previous = previous ? previous : "C";
        m_active = m_locale.available() && std::setlocale(LC_ALL, CommaLocale::name()) != nullptr;
    }
    ~ScopedCommaLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;

    // False when the locale could not be made: the test skips with CommaLocale::missingReason().
    bool active() const { return m_active; }

private:
    CommaLocale m_locale;
    std::string m_previous;
    bool m_active = false;
};

} // namespace varno::testing

#pragma once

// Helpers for tests: temporary folders, files and running the built programs.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

// A fresh folder under TMPDIR, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/varno-test-XXXXXX";
        m_path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir()
    {
        if (!m_path.empty())
            std::system(("rm -rf '" + m_path + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Writes a text log that takes about four times its size in memory once loaded: rows of a
// thousand fields, nearly all empty, each read as a value of four bytes; no two rows alike.
// Row by row, so that the test itself never holds the whole file.
inline void writeMemoryHungryTextLog(const std::string& path, size_t bytes)
{
    std::ofstream out(path, std::ios::binary);
    const std::string emptyFields(998, ',');
    for (size_t row = 0, written = 0; written < bytes; ++row) {
        const std::string line = "1 " + std::to_string(row) + emptyFields + "\n";
        out << line;
        written += line.size();
    }
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Path of a built program: VARNO_BIN_DIR is set by the test registration.
inline std::string programPath(const std::string& name)
{
    const char* dir = std::getenv("VARNO_BIN_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

inline std::string shellQuote(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs program with args (no shell interpretation of the args), standard input empty.
inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& environment = "")
{
    TempDir dir;
    std::string command = environment + " " + shellQuote(program);
    for (const std::string& arg : args)
        command += " " + shellQuote(arg);
    command += " </dev/null >" + shellQuote(dir.file("out")) + " 2>" + shellQuote(dir.file("err"));
    ProgramResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(dir.file("out"));
    result.err = readFile(dir.file("err"));
    return result;
}

} // namespace testsupport

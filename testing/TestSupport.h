#pragma once

// Helpers for tests: temporary folders, files and running the built programs.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace varno::testing {

// Removes a folder with everything in it; a folder that is not there is no error.
inline void removeFolder(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

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
            removeFolder(m_path);
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

// Writes a data log whose entries take more memory than anything else of its size: statistics
// records of one channel with all four quantities, 7 bytes that give 13 values, no two
// alike (over twice the file size). Block by block, so that the test itself never holds
// the whole file.
inline void writeMemoryHungryLog(const std::string& path, size_t bytes)
{
    std::ofstream out(path, std::ios::binary);
    std::vector<char> block;
    uint32_t state = 12345;
    for (size_t written = 0; written < bytes; written += block.size()) {
        block.clear();
        while (block.size() < (size_t(1) << 16)) {
            state = state * 1664525u + 1013904223u;
            const char record[] = {6, char(0xF1), char(state >> 8), char(state >> 16), char(state >> 24),
                                   char(state), char(state >> 4)};
            block.insert(block.end(), record, record + sizeof record);
        }
        out.write(block.data(), std::streamsize(block.size()));
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

} // namespace varno::testing

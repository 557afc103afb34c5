#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <ostrel/NumberFormat.h>
#include <ostrel/Ostrel.h>

namespace varno::converter {

// What the command line asks of the converter. Options are read one argument at a time,
// between the loads of the files named among them.
struct ConverterOptions {
    bool help = false;
    bool verbose = false;
    bool all = false;
    bool dataOnly = false;
    bool interactive = false;
    bool test = false;
    bool hasSeparator = false;
    bool hasCommand = false;
    CNumberFormat numberFormat{"%7.2f"};
    std::string separator;
    std::string command;
    std::vector<std::string> selection; // the column names of -d, in order
};

// Whether an argument names a file to load: one shorter than two characters or not
// beginning with "-" (all others are options).
bool IsFileArgument(const std::string& arg);
// Takes one option into options. An option that is refused leaves them as they were and
// gives the message for the user; an accepted one gives an empty text.
std::string ApplyOption(const std::string& arg, ConverterOptions& options);

// The converter: loads data logs named on its command line into one conversion object and
// writes them as a text table to standard output or into another command's input.
class CConverter {
public:
    CConverter(FILE* out, FILE* err) : m_out(out), m_err(err) {}

    // Runs the whole command line (args without the program name); returns the exit status.
    int Run(const std::string& programPath, const std::vector<std::string>& args);

private:
    void LoadFile(const std::string& path, const std::string& nameForMessages);
    bool HasValueEntriesFrom(int first) const;
    bool OpenCommand(const std::string& programPath);
    void WriteHeader();
    void WriteColumnLine(int i);
    void WriteEntry(int i);
    void WriteTime(int i);
    // Output goes through one large buffer written in big chunks.
    char* Room(size_t n)
    {
        if (m_used + n > m_buffer.size())
            m_buffer.resize(m_used + n);
        return &m_buffer[m_used];
    }
    void Put(const char* text, size_t length)
    {
        char* p = Room(length);
        for (size_t k = 0; k < length; ++k) // mostly one or a few bytes
            p[k] = text[k];
        m_used += length;
    }
    void Put(const std::string& text) { Put(text.data(), text.size()); }
    void Put(const char* text) { Put(text, std::strlen(text)); }
    void Put(char c) { *Room(1) = c; ++m_used; }
    void PutQuoted(const std::string& word);
    void PutValue(double v);
    void Emit();
    void Flush();
    void Message(const std::string& text);

    FILE* m_out;
    FILE* m_err;
    FILE* m_pipe = nullptr;
    std::unique_ptr<COstrel> m_data;

    ConverterOptions m_options;

    // Texts of recently formatted values, by a hash of their bits. The initial bits are
    // those of a NaN, which never goes through the number format.
    struct ValueText {
        uint64_t bits = 0x7FF8DEADBEEF0000ull;
        uint8_t length = 0;
        char text[23] = {};
    };
    static constexpr int kValueTextBits = 12;
    std::vector<ValueText> m_valueTexts;

    std::string m_buffer; // rows waiting to be written: the first m_used bytes
    size_t m_used = 0;
    bool m_writeFailed = false;
    int m_writeError = 0; // errno of a failed write other than a closed pipe
};

// Turns the escapes \n, \r and \t of an option value into their characters.
std::string UnescapeOptionValue(const std::string& value);

} // namespace varno::converter

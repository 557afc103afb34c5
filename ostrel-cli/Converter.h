#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "NumberFormat.h"
#include "Ostrel.h"

// The converter: loads data logs named on its command line into one conversion object and
// writes them as a text table to standard output or into another command's input.
class CConverter {
public:
    CConverter(FILE* out, FILE* err) : m_out(out), m_err(err) {}

    // Runs the whole command line (args without the program name); returns the exit status.
    int Run(const std::string& programPath, const std::vector<std::string>& args);

private:
    void HandleOption(const std::string& arg);
    void LoadFile(const std::string& path, const std::string& nameForMessages);
    bool OpenCommand(const std::string& programPath);
    void WriteHeader();
    void WriteEntry(int i);
    void WriteTime(int i);
    void AppendValue(double v) { m_numberFormat.Append(m_line, v); }
    void Emit();
    void Flush();
    void Message(const std::string& text);

    FILE* m_out;
    FILE* m_err;
    FILE* m_pipe = nullptr;
    std::unique_ptr<COstrel> m_data;

    bool m_help = false;
    bool m_verbose = false;
    bool m_all = false;
    bool m_dataOnly = false;
    bool m_interactive = false;
    bool m_test = false;
    bool m_hasSeparator = false;
    bool m_hasCommand = false;
    CNumberFormat m_numberFormat{"%7.2f"};
    std::string m_separator;
    std::string m_command;
    std::vector<std::string> m_selection;

    std::string m_line;   // the row being built
    std::string m_buffer; // rows waiting to be written
    bool m_writeFailed = false;
};

// Turns the escapes \n, \r and \t of an option value into their characters.
std::string UnescapeOptionValue(const std::string& value);

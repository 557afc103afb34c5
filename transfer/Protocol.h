#pragma once

#include <cstdio>
#include <string>

// The output lines of the transfer program: each line is written in one piece and flushed
// at once, so that a supervising program reads it when it is written.
namespace varno::transfer::protocol {

// Writes text and flushes the stream.
void Write(std::FILE* out, const std::string& text);

// printf-style formatting into a string of any length.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The text with every control character (CR, LF, tab, ... and DEL) replaced by a blank,
// so that a value taken from the link or a file name never breaks a line in two.
std::string OneLine(const std::string& text);

// The text as a quoted value: in double quotes, with '"' and '\' escaped by a backslash
// and control characters shown as blanks, so that a reader finds the closing quote.
std::string Quoted(const std::string& text);

} // namespace varno::transfer::protocol

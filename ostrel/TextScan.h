#pragma once

#include <string>
#include <vector>

// Small text helpers shared by the readers. Texts are bytes (Latin-1); character classes
// are ASCII.
namespace textscan {

std::string ToLower(std::string text);
std::string Trim(const std::string& text, const char* characters = " \t\r\n");

// Position of the first occurrence of word when it lies after the first character,
// npos otherwise (an occurrence at the very start does not count).
size_t FindAfterStart(const std::string& text, const char* word);

// Decimal fraction at p (leading white space allowed); 0 when there is none.
double ReadNumber(const char* p);
// The same, also telling whether a number was there.
bool ReadNumber(const char* p, double& value);
// Truncates towards zero, saturating at the int range (NaN gives 0).
int TruncToInt(double value);

// Pieces of text between any of the separator characters; empty pieces are dropped.
std::vector<std::string> Split(const std::string& text, const char* separators);

// Field separators of text logs: tab, blank, "," and ";".
bool IsFieldSeparator(char c);
// Skips white space, then everything up to and including the next field separator.
const char* SkipField(const char* p, const char* end);

} // namespace textscan

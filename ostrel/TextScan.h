#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <ostrel/UtcTime.h>

// Small text helpers shared by the readers. Texts are bytes (Latin-1); character classes
// are ASCII.
namespace varno::ostrel::textscan {

std::string ToLower(std::string text);
std::string Trim(const std::string& text, const char* characters = " \t\r\n");

// Position of the first occurrence of word when it lies after the first character,
// npos otherwise (an occurrence at the very start does not count).
size_t FindAfterStart(const std::string& text, const char* word);

// Number at p, before end (leading white space allowed; see NumberText.h for what counts
// as a number); 0 when there is none.
double ReadNumber(const char* p, const char* end);
// The same, also telling whether a number was there.
bool ReadNumber(const char* p, const char* end, double& value);
// Truncates towards zero, saturating at the int range (NaN gives 0).
int TruncToInt(double value);

// Pieces of text between any of the separator characters; empty pieces are dropped.
std::vector<std::string> Split(const std::string& text, const char* separators);

// Field separators of text logs: tab, blank, "," and ";".
bool IsFieldSeparator(char c);
// Skips white space, then the field up to the next field separator, then the separator:
// blanks and tabs around at most one "," or ";" (so "a , b" holds two fields, "a,,b" three).
const char* SkipField(const char* p, const char* end);

// The time of calendar fields (carrying as CUtcTime does), or the invalid time -1 when it
// lies outside what CUtcTime holds: a date is never wrapped round into another year.
CUtcTime TimeOrInvalid(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second);

} // namespace varno::ostrel::textscan

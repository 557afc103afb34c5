#pragma once

#include <string>

// Decimal numbers as the instruments and the bench files write them: always a point, never
// a comma, whatever locale the program that loaded the link has set.
namespace qsim {

// Reads a number (digits, an optional fraction and exponent, no sign) at the start of
// [begin, end); the position after it, or nullptr when there is none.
const char* readNumber(const char* begin, const char* end, double& value);
// The whole text as one number (a leading minus allowed); false, and value untouched,
// for anything else.
bool parseNumber(const std::string& text, double& value);

// As printf's "%.<decimals>f" and "%.<precision>g" in the C locale.
std::string fixedText(double value, int decimals);
std::string generalText(double value, int precision);

} // namespace qsim

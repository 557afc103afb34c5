#pragma once

#include <functional>
#include <string>

// Function definitions of the instrument: numbers, the inputs a .. f, Uext, Bat, the
// counters C1 .. C3 and the functions F1 .. F3, the operators + - * / ^ > (comparison, 1 or 0),
// ln and parentheses. Blanks separate tokens but are not needed.
namespace varno::sim {

struct Inputs {
    double channel[6] = {};   // a .. f
    double uext = 0, bat = 0;
    double counter[3] = {};   // C1 .. C3
    std::function<double(int)> function; // value of F1 .. F3 (index 0 .. 2)
};

// True when the definition is well formed; otherwise error says what is wrong.
bool checkDefinition(const std::string& definition, std::string& error);

// Value of a definition (NaN for a definition that does not parse or a value that has none).
double evaluateDefinition(const std::string& definition, const Inputs& inputs);

} // namespace varno::sim

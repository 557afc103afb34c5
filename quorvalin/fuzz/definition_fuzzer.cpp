// Checks and evaluates arbitrary bytes as a function definition of the simulated
// instrument, alone and as the three functions F1 .. F3 that may use each other.

#include <quorvalin/sim/Expression.h>
#include <quorvalin/sim/Instrument.h>

#include <testing/FuzzSupport.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace varno::sim;

using varno::testing::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string definition(reinterpret_cast<const char*>(data), size);
    std::string error;
    const bool valid = checkDefinition(definition, error);
    check(valid == error.empty());

    Inputs inputs;
    for (int i = 0; i < 6; ++i)
        inputs.channel[i] = 1.5 * i - 2;
    inputs.uext = 12.5;
    inputs.bat = 6.8;
    inputs.function = [](int index) { return double(index); };
    const double value = evaluateDefinition(definition, inputs);
    // A definition the instrument refuses has no value.
    check(valid || std::isnan(value));

    // As the instrument's functions, each of which may use the others.
    Instrument instrument;
    instrument.functions.clear();
    for (const char* name : {"F1", "F2", "F3"}) {
        std::string refused;
        check(instrument.setFunction(name, 0x0F, definition, refused) == valid);
    }
    check(instrument.functionValues(1773576000).size() == instrument.functions.size());
    return 0;
}

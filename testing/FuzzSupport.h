#pragma once

// What the fuzz targets share.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace varno::testing::fuzz {

// Stops the run when a property that the programs rely on does not hold, so that the
// fuzzer keeps the input as a finding.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}

// The input cut at every "\n" (which is dropped); what follows the last one is a line when
// it is not empty, as a line reader sees it.
inline std::vector<std::string> lines(const uint8_t* data, size_t size)
{
    std::vector<std::string> out;
    const char* text = reinterpret_cast<const char*>(data);
    size_t begin = 0;
    for (size_t i = 0; i < size; ++i) {
        if (text[i] == '\n') {
            out.emplace_back(text + begin, i - begin);
            begin = i + 1;
        }
    }
    if (begin < size)
        out.emplace_back(text + begin, size - begin);
    return out;
}

} // namespace varno::testing::fuzz

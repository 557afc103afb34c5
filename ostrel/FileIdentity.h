#pragma once

#include <cstddef>
#include <cstdint>

namespace varno::ostrel {

// CRC-32 of the reflected polynomial 0xEDB88320 with initial value 0 and no final
// inversion.
uint32_t Crc32NoInversion(const uint8_t* data, size_t size);

// The identity number of a file from its first n bytes (n <= 2048 read, 0 allowed):
// two CRC checks folded into a number below 1,000,000 that names the file's contents.
int ComputeFileIdentity(const uint8_t* first, size_t n);

} // namespace varno::ostrel

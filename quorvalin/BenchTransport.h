#pragma once

#include <memory>

#include <quorvalin/Transport.h>

namespace varno::quorvalin {

// The line to the simulated instruments of the bench folder (QUORVALIN_BENCH): ports are
// claimed across programs, and every change goes through the instrument's stored state,
// so that other programs and the bench tool see it.
std::unique_ptr<Transport> benchTransport();

} // namespace varno::quorvalin

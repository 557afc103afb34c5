#pragma once

// Symbols of libqtsupport that the programs may use; everything else stays hidden.
#define QTSUPPORT_API __attribute__((visibility("default")))

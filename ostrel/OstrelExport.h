#pragma once

// Symbols of libostrel that other programs may use; everything else stays hidden.
#define OSTREL_API __attribute__((visibility("default")))

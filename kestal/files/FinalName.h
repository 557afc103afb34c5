#pragma once

#include <QString>

#include <link/DataLogNames.h>

#include <string>

namespace varno::kestal {

// The name under which a data log is stored, made from its own contents.

struct IdentifiedLog {
    link::Record record;    // serial, start, length, magic, times and title
    std::string extension;     // from the file's current name; "" when it has none
    std::string instrumentType;
};

// Reads the file's name back and identifies the file with a conversion object (the
// version decides whether start and length are times or memory addresses).
IdentifiedLog IdentifyDataLog(const QString& path);

// Fills what the identification left open from the instrument's listing.
void FillFromListing(IdentifiedLog& log, uint32_t serial, uint32_t start, uint32_t length);

// The terminal form of the name (base name, file-name bytes).
std::string FinalFileName(const IdentifiedLog& log);

} // namespace varno::kestal

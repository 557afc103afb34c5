#pragma once

#include <string>

#include "OstrelExport.h"

// File-name patterns as the stations' file systems knew them: "*" and "?" only, ASCII
// case ignored, every other character (brackets too) literal.
OSTREL_API bool ostrel_wildcardmatch(const std::string& name, const std::string& pattern);

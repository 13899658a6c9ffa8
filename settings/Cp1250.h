// Conversion between UTF-8 and Windows-1250, the code page of every text
// in the settings record and of the device.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Characters that Windows-1250 lacks, and each malformed UTF-8 sequence, become '?'.
std::string Utf8ToCp1250(std::string_view Utf8);
std::string Cp1250ToUtf8(std::string_view Cp1250);

// Number of characters of a UTF-8 text; a malformed sequence counts as one.
size_t Utf8Length(std::string_view Utf8);

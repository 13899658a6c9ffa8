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

// True when Bytes is well-formed UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view Bytes);
// The length of the well-formed character at Bytes[At], 0 when a malformed sequence starts there.
size_t Utf8CharLength(std::string_view Bytes, size_t At);

// Where a conversion without replacing stopped: the byte offset and length
// of the character in the UTF-8 text, and the character.
struct TCp1250Miss {
    size_t At = 0, Length = 0;
    char32_t Char = 0;
    bool Malformed = false; // a broken sequence, no character at all
};

// Converts without replacing: false at the first character that
// Windows-1250 lacks or the first malformed sequence, with Out holding what
// came before it.
bool Utf8ToCp1250Exact(std::string_view Utf8, std::string &Out, TCp1250Miss *Miss = nullptr);

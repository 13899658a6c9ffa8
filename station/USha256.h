// SHA-256 (FIPS 180-4) of a set or an image, as 64 lowercase hex digits. Our
// own: the Windows build has no library of Debian's to take it from.
#pragma once

#include <cstddef>
#include <string>

std::string Sha256Hex(const void *Data, size_t Size);

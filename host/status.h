// Status codes every callback returns to the host, and the plug-in uses inside.
#pragma once

#include <cstdint>

constexpr int32_t DED_OK = 0;
constexpr int32_t DED_ERR_NOMEM = -1;  // the host allocator returned nothing
constexpr int32_t DED_ERR_OPEN = -2;   // table full, mode not for reading, or open failed
constexpr int32_t DED_ERR_READ = -3;   // a header record or a block of samples was not read
constexpr int32_t DED_ERR_FORMAT = -6; // the file does not carry the DED magic
constexpr int32_t DED_ERR_BADARG =
    -8; // bad handle or argument, bad UTM fields, or a refused attribute

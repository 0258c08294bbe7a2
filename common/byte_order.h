// Little-endian fields, the byte order of BMP and BSAVE files: the only code
// that puts values into bytes or takes them out, lowest byte first.
#pragma once

#include <cstdint>

inline std::uint16_t readU16le(const std::uint8_t* bytes) {
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t readU32le(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

// Each >> keeps the byte wanted in the low 8 bits; the cast drops the rest.
inline void putU16le(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = std::uint8_t(value);
    bytes[1] = std::uint8_t(value >> 8);
}

inline void putU32le(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = std::uint8_t(value >> (8 * i));
}

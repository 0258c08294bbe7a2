// How much memory a compressed picture may make a program hold. A run-length
// file of a few bytes can claim a picture millions of pixels wide, and the
// programs size their row buffers by the width, so such a file could ask for
// gigabytes. Plain files have no limit: their size already backs their width.
#pragma once

#include <cstdint>
#include <string>

#include "bmp_header.h"

constexpr std::uint64_t compressedPictureMemoryLimit = std::uint64_t(256) << 20; // 256 MiB

// Empty when a program that holds bytesHeld bytes for this picture's rows may
// go on, else the one-line refusal that names the limit.
inline std::string compressedMemoryProblem(const BmpHeader& header, std::uint64_t bytesHeld) {
    if (!isRunLengthCoded(header) || bytesHeld <= compressedPictureMemoryLimit) return "";
    const std::uint64_t mebibytes = (bytesHeld + (std::uint64_t(1) << 20) - 1) >> 20; // rounds up
    return "infile is run-length coded and " + std::to_string(header.width) +
           " pixels wide: working on it would take " + std::to_string(mebibytes) +
           " MiB, more than the 256 MiB allowed for compressed pictures";
}

// The orientation tag of a JPEG's EXIF data: how the stored rows must be
// turned or flipped to show the picture upright.
//
//  value  the stored picture's first row is the shown   so the programs
//   1     top, first column the left                    keep it
//   2     top, first column the right                   flip it left to right
//   3     bottom, first column the right                turn it by a half
//   4     bottom, first column the left                 flip it top to bottom
//   5     left side, first column the top               flip along the main diagonal
//   6     right side, first column the top              turn it a quarter clockwise
//   7     right side, first column the bottom           flip along the other diagonal
//   8     left side, first column the bottom            turn it a quarter anticlockwise
//
// The EXIF data (an APP1 segment) is "Exif\0\0" and then a TIFF structure:
// the byte order ("II" little-endian, "MM" big-endian), 42, and the offset
// of the first directory, counted from the "II" or "MM". A directory is a
// 2-byte count of 12-byte entries: tag, type, count, and a 4-byte value
// (a value of 4 bytes or fewer lies in the entry itself). Orientation is tag
// 0x0112 of the first directory, one SHORT (type 3).
#pragma once

#include <cstddef>
#include <cstdint>

// The orientation, 1 to 8, that the APP1 segment's bytes give; 1 when there
// are none, when the tag is missing, or when it or the structure is damaged.
int exifOrientation(const std::uint8_t* segment, std::size_t size);

// PNG and JPEG inputs: recognised by their first bytes, whatever the file's
// name, and decoded once, before any output exists, into an unnamed
// temporary file that holds the picture as a plain 24-bit BMP. The input
// then reads that file instead, the way it reads any BMP: by position,
// bottom row first, with memory that grows with the width only.
//
// The temporary file lies in the user's temporary folder ($TMPDIR, else
// /tmp; on Windows the folder GetTempPath names) and has no name there: it
// is removed on POSIX as soon as it is made, and on Windows it is deleted
// when closed, so nothing stays behind however the program ends.
#pragma once

#include <string>

#include "binary_file.h"
#include "bmp_header.h"

// "PNG" or "JPEG" when the first bytes are that format's signature (PNG: 89
// 50 4E 47 0D 0A 1A 0A; JPEG: FF D8 FF), else "".
std::string photoFormat(const HeaderBytes& bytes);

// Decodes the input, a PNG or JPEG picture whose first bytes are in bytes,
// and puts the decoded picture in its place: afterwards file reads the
// temporary BMP and bytes holds its header. Returns "" or the one-line
// refusal; the input is then left as it was.
[[nodiscard]] std::string decodePhoto(BinaryFile& file, const std::string& fileName,
                                      HeaderBytes& bytes);

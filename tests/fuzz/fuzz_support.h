// Runs a whole program in-process for a fuzz input: its words, its standard
// input and its files in a private scratch folder, its console thrown away,
// and its end turned into a return.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogue.h"

// The scratch folder of this fuzzing process, made on first use.
const std::string& fuzzFolder();

// Writes bytes to a file in the scratch folder and returns its path.
std::string writeFuzzFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// The width a BMP, PNG or JPEG file's header gives, or 0 when it is too
// short to say.
std::int64_t pictureWidth(const std::uint8_t* file, std::size_t size);

// Whether a BMP file's run-length codes describe more than 2^20 pixels. A few
// KiB of codes can honestly do so: a 16,000,000 x 1 picture takes two seconds
// in a release build and over ten under the sanitizers. Such inputs are
// passed over, so that every run ends within the fuzzer's time limit; the
// decoder's checks do not depend on the picture's size. So are PNG and JPEG
// files of more than 2^22 pixels: libjpeg holds a progressive picture's
// coefficients, 6 bytes a pixel at most, in allocations beyond the fuzzer's
// malloc limit, which only the decoder's cap of 192 MiB bounds.
bool isTooCostlyToFuzz(const std::uint8_t* file, std::size_t size);

// Runs program with the words (word 0 included) and the standard input
// bytes; returns the exit status it ended with.
int runInProcess(void (*program)(Dialogue&), const std::vector<std::string>& words,
                 const std::string& standardInput);

#include "bmp_header.h"

#include <algorithm>
#include <climits>

BmpHeader parseBmpHeader(const HeaderBytes& bytes) {
    BmpHeader header;
    header.bytes = bytes;
    header.pixelDataOffset = readU32le(&bytes[10]);
    header.infoHeaderSize = readU32le(&bytes[14]);
    if (header.infoHeaderSize == os2CoreHeaderSize) {
        // 16-bit unsigned sizes, no compression, no colour count.
        header.width = readU16le(&bytes[18]);
        header.storedHeight = readU16le(&bytes[20]);
        header.bitsPerPixel = readU16le(&bytes[24]);
    } else {
        header.width = std::int32_t(readU32le(&bytes[18]));
        header.storedHeight = std::int32_t(readU32le(&bytes[22]));
        header.bitsPerPixel = readU16le(&bytes[28]);
        header.compression = readU32le(&bytes[30]);
        header.coloursUsed = readU32le(&bytes[46]);
    }
    header.topDown = header.storedHeight < 0;
    // The most negative height has no positive counterpart: no picture.
    header.height = header.storedHeight == INT32_MIN ? 0
                    : header.topDown                 ? -header.storedHeight
                                                     : header.storedHeight;
    return header;
}

// Whole 32-bit words, rounded up: width x bits stays below 2^37.
std::uint64_t storedRowLength(std::uint64_t width, unsigned bitsPerPixel) {
    return (width * bitsPerPixel + 31) / 32 * 4;
}

bool isPlainBmp(const BmpHeader& header) {
    return header.bitsPerPixel == 24 && header.compression == bmpUncompressed && !header.topDown &&
           header.infoHeaderSize >= bmpInfoHeaderSize;
}

bool isRunLengthCoded(const BmpHeader& header) {
    return header.compression == bmpRle8 || header.compression == bmpRle4;
}

bool hasBitMasks(const BmpHeader& header) {
    return header.compression == bmpBitFields || header.compression == bmpAlphaBitFields;
}

std::uint64_t colourTableOffset(const BmpHeader& header) {
    std::uint64_t end = bmpFileHeaderSize + std::uint64_t(header.infoHeaderSize);
    const bool masksFollow = header.infoHeaderSize == bmpInfoHeaderSize;
    if (masksFollow && header.compression == bmpBitFields) end += 12;      // red, green, blue
    if (masksFollow && header.compression == bmpAlphaBitFields) end += 16; // and alpha
    return end;
}

// Compression methods that are no way of storing rows this reader knows.
static std::string methodProblem(const BmpHeader& header) {
    const std::string method = "(method " + std::to_string(header.compression) + ")";
    if (header.infoHeaderSize == os2HeaderSize && header.compression == bmpBitFields)
        return "infile is compressed with OS/2 Huffman coding " + method +
               ", which is not supported";
    if (header.infoHeaderSize == os2HeaderSize && header.compression == bmpJpeg)
        return "infile is compressed with OS/2 24-bit run lengths " + method +
               ", which is not supported";
    if (header.compression == bmpJpeg)
        return "infile holds a JPEG picture inside the BMP " + method + ", which is not supported";
    if (header.compression == bmpPng)
        return "infile holds a PNG picture inside the BMP " + method + ", which is not supported";
    if (header.compression > bmpAlphaBitFields)
        return "infile is compressed " + method + ", which is not supported";
    return "";
}

// Each compression method goes with certain bits per pixel.
static std::string compressionProblem(const BmpHeader& header) {
    const std::string method = "(method " + std::to_string(header.compression) + ")";
    const unsigned bits = header.bitsPerPixel;
    bool fits = header.compression == bmpUncompressed ||
                (header.compression == bmpRle8 && bits == 8) ||
                (header.compression == bmpRle4 && bits == 4) ||
                (hasBitMasks(header) && (bits == 16 || bits == 32));
    if (!fits)
        return "infile has " + std::to_string(bits) + " bits per pixel with compression " + method +
               ", which do not go together";
    if (isRunLengthCoded(header) && header.topDown)
        return "infile is run-length coded and stored top-down (height " +
               std::to_string(header.storedHeight) + "), which BMP files cannot be";
    return "";
}

// The smallest file that holds every stored row; the last row may lack its
// padding. Saturates where the sum would pass 64 bits.
static std::uint64_t bytesForRows(const BmpHeader& header) {
    const std::uint64_t width = std::uint64_t(header.width);
    const std::uint64_t stride = storedRowLength(width, header.bitsPerPixel);
    const std::uint64_t lastRow = (width * header.bitsPerPixel + 7) / 8;
    const std::uint64_t before = std::uint64_t(header.height - 1);
    const std::uint64_t room = UINT64_MAX - header.pixelDataOffset - lastRow;
    if (before > room / stride) return UINT64_MAX;
    return header.pixelDataOffset + stride * before + lastRow;
}

// Run-length codes can leave any part of a picture to colour 0, so a tiny
// file could claim billions of pixels that a program would then work
// through. A real picture's codes take far more than one byte per
// maxRunLengthPixelsPerByte pixels (a run covers 255 pixels in 2 bytes).
constexpr std::uint64_t maxRunLengthPixelsPerByte = 4096;

static std::string runLengthSizeProblem(const BmpHeader& header, std::int64_t fileLength) {
    const std::uint64_t dataBytes =
        std::uint64_t(std::max<std::int64_t>(fileLength - header.pixelDataOffset, 0));
    const std::uint64_t pixels = std::uint64_t(header.width) * std::uint64_t(header.height);
    if (pixels <= dataBytes * maxRunLengthPixelsPerByte) return "";
    return "infile's " + std::to_string(header.width) + " x " + std::to_string(header.height) +
           " pixels are too many for its " + std::to_string(dataBytes) +
           " bytes of run-length data";
}

std::string headerProblem(const BmpHeader& header, std::int64_t fileLength) {
    const bool core = header.infoHeaderSize == os2CoreHeaderSize;
    if (fileLength < std::int64_t(core ? bmpFileHeaderSize + os2CoreHeaderSize : bmpHeaderSize))
        return "infile is too short for a BMP header (" + std::to_string(fileLength) + " bytes)";
    if (!core && header.infoHeaderSize < bmpInfoHeaderSize)
        return "infile has a " + std::to_string(header.infoHeaderSize) +
               "-byte information header, which no BMP layout has";
    if (header.width < 1 || header.height < 1)
        return "infile has no pixels (width " + std::to_string(header.width) + ", height " +
               std::to_string(header.storedHeight) + ")";
    std::string problem = methodProblem(header);
    if (!problem.empty()) return problem;
    const unsigned bits = header.bitsPerPixel;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "infile has " + std::to_string(bits) +
               " bits per pixel; BMPs of 1, 4, 8, 16, 24 or 32 bits are supported";
    problem = compressionProblem(header);
    if (!problem.empty()) return problem;
    // A plain file's rows may start anywhere after the 54 bytes; other
    // layouts keep their masks and colour table before the rows.
    const std::uint64_t headerEnd =
        isPlainBmp(header) ? std::uint64_t(bmpHeaderSize) : colourTableOffset(header);
    if (header.pixelDataOffset < headerEnd)
        return "infile has its pixel data at offset " + std::to_string(header.pixelDataOffset) +
               ", inside the " + std::to_string(headerEnd) + "-byte header";
    if (isRunLengthCoded(header)) return runLengthSizeProblem(header, fileLength);
    std::uint64_t needed = bytesForRows(header);
    if (needed > std::uint64_t(fileLength))
        return "infile is too short: its pixel rows need " + std::to_string(needed) +
               " bytes, the file has " + std::to_string(fileLength);
    return "";
}

std::string otherPictureFormat(const HeaderBytes& bytes) {
    auto startsWith = [&](const char* text, std::size_t length) {
        return std::equal(text, text + length, bytes.begin(),
                          [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
    };
    if (startsWith("\x89PNG\r\n\x1a\n", 8)) return "PNG";
    if (startsWith("\xff\xd8\xff", 3)) return "JPEG";
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) return "GIF";
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4)) return "TIFF";
    // Netpbm: "P1" to "P6" and white space.
    if (bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '6' &&
        (bytes[2] == ' ' || bytes[2] == '\t' || bytes[2] == '\n' || bytes[2] == '\r')) {
        static const char* const names[] = {"PBM", "PGM", "PPM"};
        return names[(bytes[1] - '1') % 3];
    }
    // An MSX BSAVE file: type byte FE, then the start and end addresses. Only
    // a save from address 0 through at least the first screen line (0x00FF)
    // is taken for a screen file; any other byte FE starts something else.
    if (bytes[0] == 0xFE && readU16le(&bytes[1]) == 0 && readU16le(&bytes[3]) >= 0x00FF)
        return "MSX BSAVE";
    return "";
}

// One field a line, in file order, as the table in bmp_header.h gives them.
HeaderBytes plainHeader(std::uint32_t width, std::uint32_t height, const BmpHeader* keepFrom) {
    const bool keepAll = keepFrom != nullptr && isPlainBmp(*keepFrom);
    const bool keepResolution =
        keepFrom != nullptr && keepFrom->infoHeaderSize >= bmpInfoHeaderSize;
    // 3780 pixels a metre is 96 dots an inch; an input of another layout
    // without the fields (OS/2 1.x) leaves them 0.
    const std::uint32_t freshResolution = keepFrom == nullptr ? 3780 : 0;
    // The input's 32-bit field at offset when keep holds, else fresh.
    auto kept = [&](std::size_t offset, bool keep, std::uint32_t fresh) {
        return keep ? readU32le(&keepFrom->bytes[offset]) : fresh;
    };
    // Truncated to the 32-bit field: callers refuse files beyond 4 GiB.
    const std::uint32_t dataSize = std::uint32_t(storedRowLength(width, 24) * height);
    HeaderBytes bytes{};
    putU16le(&bytes[0], bmpSignature);                               //  0 "BM"
    putU32le(&bytes[2], dataSize + std::uint32_t(bmpHeaderSize));    //  2 file size
    putU32le(&bytes[6], kept(6, keepFrom != nullptr, 0));            //  6 reserved words
    putU32le(&bytes[10], bmpHeaderSize);                             // 10 pixel data offset
    putU32le(&bytes[14], bmpInfoHeaderSize);                         // 14 info header size
    putU32le(&bytes[18], width);                                     // 18 width
    putU32le(&bytes[22], height);                                    // 22 height, bottom-up
    putU16le(&bytes[26], std::uint16_t(kept(26, keepAll, 1)));       // 26 planes (2 bytes)
    putU16le(&bytes[28], 24);                                        // 28 bits per pixel
    putU32le(&bytes[30], bmpUncompressed);                           // 30 compression
    putU32le(&bytes[34], dataSize);                                  // 34 pixel data size
    putU32le(&bytes[38], kept(38, keepResolution, freshResolution)); // 38 pixels/metre across
    putU32le(&bytes[42], kept(42, keepResolution, freshResolution)); // 42 pixels/metre down
    putU32le(&bytes[46], kept(46, keepAll, 0));                      // 46 colours used
    putU32le(&bytes[50], kept(50, keepAll, 0));                      // 50 important colours
    return bytes;
}

#include "bmp_header.h"

std::uint16_t readU16le(const std::uint8_t* bytes) {
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

std::uint32_t readU32le(const std::uint8_t* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

void putU16le(std::uint8_t* bytes, std::uint16_t value) {
    bytes[0] = std::uint8_t(value);
    bytes[1] = std::uint8_t(value >> 8);
}

void putU32le(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = std::uint8_t(value >> (8 * i));
}

BmpHeader parseBmpHeader(const HeaderBytes& bytes) {
    BmpHeader header;
    header.bytes = bytes;
    header.pixelDataOffset = readU32le(&bytes[10]);
    header.infoHeaderSize = readU32le(&bytes[14]);
    header.width = std::int32_t(readU32le(&bytes[18]));
    header.height = std::int32_t(readU32le(&bytes[22]));
    header.bitsPerPixel = readU16le(&bytes[28]);
    header.compression = readU32le(&bytes[30]);
    return header;
}

std::uint64_t paddedRowLength(std::uint64_t width) { return (width * 3 + 3) & ~std::uint64_t(3); }

std::string headerProblem(const BmpHeader& header, std::int64_t fileLength) {
    if (fileLength < std::int64_t(bmpHeaderSize))
        return "infile is too short for a BMP header (" + std::to_string(fileLength) + " bytes)";
    if (header.infoHeaderSize < 40)
        return "infile has a " + std::to_string(header.infoHeaderSize) +
               "-byte information header; only Windows BMPs (40 bytes or more) are supported";
    if (header.height < 0)
        return "infile is stored top-down (height " + std::to_string(header.height) +
               "), which is not supported";
    if (header.width < 1 || header.height < 1)
        return "infile has no pixels (width " + std::to_string(header.width) + ", height " +
               std::to_string(header.height) + ")";
    if (header.bitsPerPixel != 24)
        return "infile has " + std::to_string(header.bitsPerPixel) +
               " bits per pixel; only 24-bit BMPs are supported";
    if (header.compression != 0)
        return "infile is compressed (method " + std::to_string(header.compression) +
               "); only uncompressed BMPs are supported";
    if (header.pixelDataOffset < bmpHeaderSize)
        return "infile has its pixel data at offset " + std::to_string(header.pixelDataOffset) +
               ", inside the 54-byte header";
    // Every row must be in the file; only the last row's padding may be cut.
    std::uint64_t width = std::uint64_t(header.width);
    std::uint64_t needed = header.pixelDataOffset +
                           paddedRowLength(width) * std::uint64_t(header.height - 1) + width * 3;
    if (needed > std::uint64_t(fileLength))
        return "infile is too short: its pixel rows need " + std::to_string(needed) +
               " bytes, the file has " + std::to_string(fileLength);
    return "";
}

BmpHeader openInputPicture(Dialogue& dialogue, BinaryFile& file, const std::string& fileName) {
    if (fileName.empty()) dialogue.fail("no infile name given");
    if (!file.openForReading(fileName))
        dialogue.fail("cannot open infile " + fileName + ": " + file.errorText());
    HeaderBytes bytes;
    file.get(1, bytes.data(), bytes.size());
    if (file.error != 0) dialogue.fail("cannot read infile " + fileName + ": " + file.errorText());
    if (readU16le(&bytes[0]) != bmpSignature) dialogue.fail("infile is not a 'BM'");
    BmpHeader header = parseBmpHeader(bytes);
    std::string problem = headerProblem(header, file.length());
    if (!problem.empty()) dialogue.fail(problem);
    return header;
}

HeaderBytes converterHeader(std::int32_t width, std::int32_t height, std::uint32_t rowStride) {
    HeaderBytes bytes{};
    std::uint32_t pixelDataSize = rowStride * std::uint32_t(height);
    bytes[0] = 'B';
    bytes[1] = 'M';
    putU32le(&bytes[2], pixelDataSize + bmpHeaderSize);
    putU32le(&bytes[10], bmpHeaderSize);
    putU32le(&bytes[14], 40);
    putU32le(&bytes[18], std::uint32_t(width));
    putU32le(&bytes[22], std::uint32_t(height));
    putU16le(&bytes[26], 1);
    putU16le(&bytes[28], 24);
    putU32le(&bytes[34], pixelDataSize);
    putU32le(&bytes[38], 3780); // 96 dots per inch
    putU32le(&bytes[42], 3780);
    return bytes;
}

HeaderBytes resizedHeader(const HeaderBytes& input, std::uint32_t width, std::uint32_t height) {
    HeaderBytes bytes = input;
    std::uint32_t pixelDataSize = height * width * 3;
    putU32le(&bytes[18], width);
    putU32le(&bytes[22], height);
    putU32le(&bytes[34], pixelDataSize);
    putU32le(&bytes[2], pixelDataSize + bmpHeaderSize);
    putU32le(&bytes[10], bmpHeaderSize);
    putU32le(&bytes[14], 40);
    return bytes;
}

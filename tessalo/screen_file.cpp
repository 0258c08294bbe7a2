#include "screen_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "byte_order.h"

static bool endsWithNoCase(const std::string& text, const char* ending) {
    const std::string tail(ending);
    if (text.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[text.size() - tail.size() + i]);
        if (std::toupper(c) != tail[i]) return false;
    }
    return true;
}

ScreenKind screenKindOf(const std::string& fileName) {
    if (endsWithNoCase(fileName, ".SCC")) return ScreenKind::screen12;
    if (endsWithNoCase(fileName, ".SCA") || endsWithNoCase(fileName, ".SCB"))
        return ScreenKind::screen10;
    return ScreenKind::none;
}

ScreenImage blankScreen(ScreenKind kind) {
    ScreenImage screen;
    screen.kind = kind;
    screen.vram.assign(screenVramSize, 0);
    return screen;
}

void putScreenPixel(ScreenImage& screen, std::int32_t x, std::int32_t y, int maskedY, int maskedA,
                    int maskedB) {
    // The chip's J and K are a quarter of the biased chroma's distance from
    // 128; the arithmetic shift rounds toward minus infinity, which is exact
    // for samples masked to multiples of 4.
    const int j = (maskedA - 128) >> 2;
    const int k = (maskedB - 128) >> 2;
    const int chromaBits[4] = {k & 7, (k >> 3) & 7, j & 7, (j >> 3) & 7};
    std::uint8_t* group = &screen.vram[std::size_t(y) * screenWidth + std::size_t(x & ~3)];
    for (int n = 0; n < 4; ++n) group[n] = std::uint8_t((group[n] & 0xF8) | chromaBits[n]);
    // Screen 12 keeps the 5 high bits of Y; screens 10/11 the 4 high bits,
    // with the attribute bit 3 left 0 (a YJK pixel).
    const int lumaBits = screen.kind == ScreenKind::screen12 ? (maskedY & 0xF8) : (maskedY & 0xF0);
    std::uint8_t& pixel = group[x & 3];
    pixel = std::uint8_t(lumaBits | (pixel & 7));
}

std::vector<std::uint8_t> bsaveFile(const ScreenImage& screen) {
    std::vector<std::uint8_t> file(bsaveHeaderSize, 0);
    file[0] = bsaveType;
    putU16le(&file[1], 0x0000);                            // start address
    putU16le(&file[3], std::uint16_t(screenVramSize - 1)); // end address 0xD3FF
    putU16le(&file[5], 0x0000);                            // execution address
    file.insert(file.end(), screen.vram.begin(), screen.vram.end());
    return file;
}

std::vector<std::uint8_t> bsaveFileWithPalette(const ScreenImage& screen,
                                               const PaletteTable& table) {
    constexpr std::uint32_t spriteAttributes = 0xFA00; // 32 sprites of 4 bytes: Y, X, pattern, 0
    constexpr std::uint8_t noMoreSprites = 216;        // a Y of 216 ends the list in sprite mode 2
    constexpr std::uint32_t lastAddress = paletteTableAddress + paletteTableSize - 1; // 0xFA9F
    std::vector<std::uint8_t> file(bsaveHeaderSize + lastAddress + 1, 0);
    file[0] = bsaveType;
    putU16le(&file[1], 0x0000);                     // start address
    putU16le(&file[3], std::uint16_t(lastAddress)); // end address 0xFA9F
    putU16le(&file[5], 0x0000);                     // execution address
    std::uint8_t* vram = &file[bsaveHeaderSize];
    std::copy(screen.vram.begin(), screen.vram.end(), vram);
    for (std::uint32_t sprite = 0; sprite < 32; ++sprite)
        vram[spriteAttributes + 4 * sprite] = noMoreSprites;
    std::copy(table.begin(), table.end(), vram + paletteTableAddress);
    return file;
}

// ---- decoding -------------------------------------------------------------

// A 3-bit field of 6-bit two's complement, sign-extended.
static int signed6(int low, int high) {
    int value = (high << 3) | low;
    return value >= 32 ? value - 64 : value;
}

ScreenYjk unpackYjk(const std::uint8_t* group, int n) {
    ScreenYjk yjk;
    yjk.y = group[n] >> 3;
    yjk.k = signed6(group[0] & 7, group[1] & 7);
    yjk.j = signed6(group[2] & 7, group[3] & 7);
    return yjk;
}

std::uint8_t fullScaleLevel(int level) {
    return std::uint8_t(level * 255 / 31); // at most 7905 before the division, which truncates
}

static int clampLevel(int level) { return level < 0 ? 0 : level > 31 ? 31 : level; }

ScreenColour machineColour(const ScreenYjk& yjk) {
    // C++ division truncates toward zero, as the chip's does; the + 2 makes
    // it round blue to the nearest level.
    return {clampLevel(yjk.y + yjk.j), clampLevel(yjk.y + yjk.k),
            clampLevel((5 * yjk.y - 2 * yjk.j - yjk.k + 2) / 4)};
}

// The chip's colours after power-on, as (R, G, B) levels 0..7.
static const int defaultPalette[16][3] = {
    {0, 0, 0}, {0, 0, 0}, {1, 6, 1}, {3, 7, 3}, {1, 1, 7}, {2, 3, 7}, {5, 1, 1}, {2, 6, 7},
    {7, 1, 1}, {7, 3, 3}, {6, 6, 1}, {6, 6, 4}, {1, 4, 1}, {6, 2, 5}, {5, 5, 5}, {7, 7, 7},
};

// A 3-bit palette level on the 5-bit scale: its bits repeated below it, so
// that 0 stays 0 and 7 becomes 31.
int paletteLevel(int level) { return (level << 2) | (level >> 1); }

std::vector<ScreenColour> screenPalette(const std::uint8_t* table) {
    std::vector<ScreenColour> palette(16);
    for (int i = 0; i < 16; ++i) {
        int red = defaultPalette[i][0], green = defaultPalette[i][1], blue = defaultPalette[i][2];
        if (table != nullptr) {
            red = (table[2 * i] >> 4) & 7;
            blue = table[2 * i] & 7;
            green = table[2 * i + 1] & 7;
        }
        palette[std::size_t(i)] = {paletteLevel(red), paletteLevel(green), paletteLevel(blue)};
    }
    return palette;
}

static std::uint32_t startAddress(const std::vector<std::uint8_t>& file) {
    return readU16le(&file[1]);
}
static std::uint32_t endAddress(const std::vector<std::uint8_t>& file) {
    return readU16le(&file[3]);
}

static std::string hexAddress(std::uint32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "&H%04X", unsigned(address));
    return text;
}

std::string bsaveProblem(const std::vector<std::uint8_t>& file) {
    if (file.size() < bsaveHeaderSize || file[0] != bsaveType)
        return "it is not a BSAVE file (the first of its 7 header bytes must be FE)";
    if (startAddress(file) != 0)
        return "it starts at address " + hexAddress(startAddress(file)) +
               ", not at 0: only a whole screen saved from address 0 can be shown";
    if (endAddress(file) < screenWidth - 1)
        return "it ends at address " + hexAddress(endAddress(file)) +
               ", before the end of the screen's first line (&H00FF)";
    const std::size_t bodySize = endAddress(file) + 1;
    if (file.size() - bsaveHeaderSize < bodySize)
        return "its header says " + std::to_string(bodySize) + " bytes follow, but only " +
               std::to_string(file.size() - bsaveHeaderSize) + " do";
    return "";
}

std::int32_t bsaveLines(const std::vector<std::uint8_t>& file) {
    std::int32_t lines = std::int32_t((endAddress(file) + 1) / screenWidth); // whole lines only
    return lines < screenHeight ? lines : screenHeight;
}

std::vector<ScreenColour> decodeScreen(ScreenKind kind, const std::vector<std::uint8_t>& file) {
    const std::uint8_t* vram = &file[bsaveHeaderSize];
    // BASIC saves the palette table with the picture when the file reaches
    // it; the chip shows the picture with that table once it is loaded.
    const bool hasTable = endAddress(file) >= paletteTableAddress + paletteTableSize - 1;
    const std::vector<ScreenColour> palette =
        screenPalette(hasTable ? vram + paletteTableAddress : nullptr);
    const std::int32_t lines = bsaveLines(file);
    std::vector<ScreenColour> pixels;
    pixels.reserve(std::size_t(lines) * screenWidth);
    for (std::int32_t y = 0; y < lines; ++y)
        for (std::int32_t x = 0; x < screenWidth; ++x) {
            const std::uint8_t* group = vram + std::size_t(y) * screenWidth + std::size_t(x & ~3);
            const std::uint8_t pixel = group[x & 3];
            if (kind == ScreenKind::screen10 && (pixel & 0x08) != 0) // attribute bit
                pixels.push_back(palette[pixel >> 4]);
            else
                pixels.push_back(machineColour(unpackYjk(group, x & 3)));
        }
    return pixels;
}

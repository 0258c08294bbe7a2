// Picture files that an MSX2+ loads straight into its V9958: screen 12
// (.SCC) and screens 10/11 (.SCA, .SCB) as MSX BASIC BSAVE files of VRAM, and
// the colours the chip shows for their bytes.
//
// A BSAVE file is a 7-byte header, then the bytes themselves:
//
//  offset size field
//   0     1   type byte FE
//   1     2   start address (VRAM address of the first byte), little-endian
//   3     2   end address (address of the last byte), little-endian
//   5     2   execution address, 0 for VRAM
//
// In these screens VRAM 0x0000-0xD3FF holds 212 lines of 256 bytes, one byte
// a pixel, line 0 at the top. Each group of 4 pixels (bytes 4i to 4i + 3 of
// a line) shares one J and one K, 6-bit two's complement values spread over
// the low 3 bits of the group's bytes:
//
//  byte  bits 7-3                           bits 2-0
//   0    Y of pixel 0 (5 bits)              K bits 2-0
//   1    Y of pixel 1                       K bits 5-3
//   2    Y of pixel 2                       J bits 2-0
//   3    Y of pixel 3                       J bits 5-3
//
// Screens 10 and 11 keep 4 bits of Y in bits 7-4; bit 3 is the attribute
// bit: 0 a YJK pixel, 1 palette colour (byte >> 4) of the chip's 16 colours.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::int32_t screenWidth = 256;
constexpr std::int32_t screenHeight = 212;
constexpr std::size_t screenVramSize = 54272; // 256 x 212: VRAM 0x0000-0xD3FF
constexpr std::size_t bsaveHeaderSize = 7;
constexpr std::uint8_t bsaveType = 0xFE;
// Where the palette table lies in screens 10/11: 16 colours of 2 bytes.
constexpr std::uint32_t paletteTableAddress = 0xFA80;
constexpr std::size_t paletteTableSize = 32;

// screen10 covers screens 10 and 11, which share one file layout.
enum class ScreenKind { none, screen12, screen10 };

// The screen an output or input name asks for, by its extension in any case:
// .SCC screen 12, .SCA and .SCB screens 10/11, anything else none.
ScreenKind screenKindOf(const std::string& fileName);

struct ScreenImage {
    ScreenKind kind = ScreenKind::none;
    std::vector<std::uint8_t> vram; // screenVramSize bytes, all 0 = black
};

ScreenImage blankScreen(ScreenKind kind);

// Pixel (x, y) of the picture, y = 0 the top line, with its masked samples:
// luma 0..255, chroma biased by 128. Every pixel of a group sets the group's
// J and K, so pixels past the picture's width get them from their neighbours,
// and keep the Y 0 of the blank screen: with that J and K no Y shows darker,
// as R, G and B each never fall while Y rises (see machineColour), though
// the colour is black only for J and K near 0. x and y lie inside the
// screen: the converter refuses larger pictures.
void putScreenPixel(ScreenImage& screen, std::int32_t x, std::int32_t y, int maskedY, int maskedA,
                    int maskedB);

// The whole file: header for 0x0000-0xD3FF, then the VRAM bytes.
std::vector<std::uint8_t> bsaveFile(const ScreenImage& screen);

// A palette table in the chip's layout: 16 colours of 2 bytes, 0RRR0BBB then
// 00000GGG, levels 0..7.
using PaletteTable = std::array<std::uint8_t, paletteTableSize>;

// The long form of a screen 10/11 file, which BASIC writes when the saved
// range reaches the palette table and loads together with it: header for
// 0x0000-0xFA9F, the VRAM bytes of the picture, then what lies between the
// picture and the table, then the table. Between them, 0xD400-0xEFFF are the
// lines below the 212 shown and 0xF000-0xF9FF the sprite patterns and
// colours, all written 0 (transparent); 0xFA00-0xFA7F is the sprite
// attribute table, where every one of the 32 sprites gets Y = 216, the value
// that ends the chip's sprite list, so that no sprite shows.
std::vector<std::uint8_t> bsaveFileWithPalette(const ScreenImage& screen,
                                               const PaletteTable& table);

// ---- decoding, as the chip shows the bytes --------------------------------

// A colour in the DAC's 5-bit levels, 0..31 each.
struct ScreenColour {
    int red;
    int green;
    int blue;
};

// A 5-bit level (0..31) on the 0..255 scale of a screenshot: L x 255 / 31,
// rounded down, as openMSX shows it (4 gives 32, 8 gives 65, 31 gives 255).
// Palette colours widened to 5 bits (screenPalette) land where openMSX shows
// their 3-bit levels: 32, 74, 106, 148, 180, 222, 255.
std::uint8_t fullScaleLevel(int level);

// The YJK values of pixel n (0..3) of the group starting at `group`: 5-bit
// Y (byte >> 3, in screens 10/11 with the attribute bit 0) and the group's
// signed 6-bit J and K.
struct ScreenYjk {
    int y;
    int j;
    int k;
};
ScreenYjk unpackYjk(const std::uint8_t* group, int n);

// R = Y + J, G = Y + K, B = (5Y - 2J - K + 2) / 4 truncated toward zero,
// each clamped to 0..31: the chip rounds blue.
ScreenColour machineColour(const ScreenYjk& yjk);

// The 16 palette colours in 5-bit levels, from a table in the chip's layout
// (2 bytes a colour: 0RRR0BBB, 00000GGG), or the chip's power-on palette when
// table is null.
std::vector<ScreenColour> screenPalette(const std::uint8_t* table);
// A palette register's 3-bit level on the DAC's 5-bit scale.
int paletteLevel(int level);

// The checks of a BSAVE file before decoding: empty when the file can be
// shown, else what is wrong with it, to follow the file's name.
std::string bsaveProblem(const std::vector<std::uint8_t>& file);
// Lines the file holds: floor((end + 1) / 256), at most 212.
std::int32_t bsaveLines(const std::vector<std::uint8_t>& file);

// Every pixel of a checked file, line by line from the top, 256 a line.
std::vector<ScreenColour> decodeScreen(ScreenKind kind, const std::vector<std::uint8_t>& file);

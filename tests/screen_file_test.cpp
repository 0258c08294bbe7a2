// Screen files for the V9958: how a group of 4 pixels is packed, which
// settings and sizes are refused, that the file shows exactly the preview,
// and how the chip's own decode differs from it.
#include <gtest/gtest.h>

#include <algorithm>

#include "colour.h"
#include "screen_file.h"
#include "test_support.h"

namespace {

TEST(ScreenFile, PackingOfAGroup) {
    // J = -31 is 100001 and K = 31 is 011111 in 6 bits; -32 is 100000, -1 111111.
    // clang-format off
    const struct { ScreenKind kind; int x, y, maskedY, maskedA, maskedB, groupX; Bytes group; } table[] = {
        {ScreenKind::screen12, 0, 0, 255, 128, 128, 0, {0xF8, 0, 0, 0}},
        {ScreenKind::screen12, 1, 0, 8, 4, 252, 0, {7, 0x0B, 1, 4}},
        {ScreenKind::screen12, 6, 3, 0x2F, 132, 124, 4, {7, 7, 0x29, 0}},
        {ScreenKind::screen10, 255, 211, 0xF7, 0, 0, 252, {0, 4, 0, 0xF4}},
        {ScreenKind::screen10, 2, 1, 0x18, 132, 124, 0, {7, 7, 0x11, 0}},
    };
    // clang-format on
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::Message() << "pixel " << row.x << "," << row.y);
        ScreenImage screen = blankScreen(row.kind);
        putScreenPixel(screen, row.x, row.y, row.maskedY, row.maskedA, row.maskedB);
        Bytes file = bsaveFile(screen);
        ASSERT_EQ(file.size(), 54279u);
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 7), (Bytes{0xFE, 0, 0, 0xFF, 0xD3, 0, 0}));
        auto group = file.begin() + 7 + row.y * 256 + row.groupX;
        EXPECT_EQ(Bytes(group, group + 4), row.group);
        auto isSet = [](std::uint8_t byte) { return byte != 0; };
        EXPECT_EQ(std::count_if(file.begin() + 7, file.end(), isSet),
                  std::count_if(row.group.begin(), row.group.end(), isSet)); // the rest is black
    }
}

TEST(ScreenFile, NamesThatAskForAScreen) {
    for (const char* name : {"a.SCC", "b.scc"}) EXPECT_EQ(screenKindOf(name), ScreenKind::screen12);
    for (const char* name : {"a.SCA", "a.scb"}) EXPECT_EQ(screenKindOf(name), ScreenKind::screen10);
    for (const char* name : {"a.bmp", "a.SCC.bmp", "SC"})
        EXPECT_EQ(screenKindOf(name), ScreenKind::none);
}

// The converter refuses what a screen cannot hold before anything is written.
TEST(ScreenFile, ConverterRefusals) {
    const std::string needs12 = "outfile PIC.SCC is a screen 12 file: it needs option 2 (or 5 "
                                "with masks 248 252 252) and chroma factors 4 and 1";
    const std::string needs10 = "outfile PIC.SCA is a screen 10/11 file: it needs option 3 (or "
                                "5 with masks 240 252 252) and chroma factors 4 and 1";
    const std::string large = "outfile PIC.SCC is a screen 12 file of at most 256 x 212 pixels, ";
    const std::string resize = ": first run pravun 'my photo.bmp' /m256x212 /t screen.bmp";
    const std::vector<std::string> option2 = {"2", "4", "1", "0", "0", "n"};
    const std::vector<std::string> option3 = {"3", "4", "1", "0", "0", "n"};
    // clang-format off
    const struct { std::vector<std::string> settings; std::string out; int width, height; std::string refusal; } table[] = {
        {option2, "PIC.SCC", 256, 212, ""},
        {option3, "PIC.SCA", 1, 212, ""},
        {option3, "PIC.SCC", 8, 8, needs12},
        {option2, "PIC.SCA", 8, 8, needs10},
        {{"6", "248", "252", "252", "0", "0", "0", "4", "1", "0", "0"}, "PIC.SCC", 8, 8, needs12},
        {{"4", "2", "2", "0", "0"}, "PIC.BMP", 257, 213, ""},
        {{"2", "2", "1", "0", "0", "n"}, "PIC.SCC", 8, 8, needs12},
        {{"2", "4", "2", "0", "0", "n"}, "PIC.SCC", 8, 8, needs12},
        {{"5", "240", "248", "252", "0", "0", "0", "4", "1", "0", "0", "n"}, "PIC.SCA", 8, 8, needs10},
        {option2, "PIC.SCC", 257, 1, large + "not 257 x 1" + resize},
        {option2, "PIC.SCC", 256, 213, large + "not 256 x 213" + resize},
    };
    // clang-format on
    for (const auto& row : table) {
        SCOPED_TRACE(row.out + " " + std::to_string(row.width) + " x " +
                     std::to_string(row.height));
        Scratch scratch;
        writeFile(scratch.path("my photo.bmp"), bmpFile(asymmetricPicture(row.width, row.height)));
        std::vector<std::string> words{"batch"};
        words.insert(words.end(), row.settings.begin(), row.settings.end());
        words.insert(words.end(), {"my photo.bmp", row.out});
        RunResult run = runProgram(TESSALO_EXECUTABLE, words, "", scratch.folder);
        EXPECT_EQ(run.exitStatus, row.refusal.empty() ? 0 : 1);
        if (!row.refusal.empty()) {
            EXPECT_PRED2(endsWith, run.console, "\n" + row.refusal + "\r\n");
        }
        EXPECT_EQ(fileExists(scratch.path(row.out)), row.refusal.empty());
    }
}

// The chip's levels of a YJK pixel with blue rounded down, as the preview's
// formula has it: R = Y + J, G = Y + K, B = floor((5Y - 2J - K) / 4), each
// clamped to 0..31, written x 8 in blue, green, red order.
Bytes roundedDown(ScreenYjk f) {
    auto level = [](int v) { return std::uint8_t(8 * (v < 0 ? 0 : v > 31 ? 31 : v)); };
    int fiveY4 = 5 * f.y - 2 * f.j - f.k;
    int blue = fiveY4 >= 0 ? fiveY4 / 4 : -((-fiveY4 + 3) / 4);
    return {level(blue), level(f.y + f.k), level(f.y + f.j)};
}

// The preview with the DAC filter shows exactly that, for every sample the
// two presets can produce.
TEST(ScreenFile, PreviewShowsTheFileForEverySample) {
    for (ScreenKind kind : {ScreenKind::screen12, ScreenKind::screen10}) {
        const int lumaStep = kind == ScreenKind::screen12 ? 8 : 16;
        ScreenImage screen = blankScreen(kind);
        long mismatches = 0, cases = 0;
        for (int y = 0; y < 256; y += lumaStep)
            for (int a = 0; a < 256; a += 4)
                for (int b = 0; b < 256; b += 4) {
                    putScreenPixel(screen, 1, 0, y, a, b);
                    Rgb preview = clampAndFilter(rgbFromYjk({y, a, b}), true);
                    Bytes bgr{std::uint8_t(preview.blue), std::uint8_t(preview.green),
                              std::uint8_t(preview.red)};
                    mismatches += bgr != roundedDown(unpackYjk(&screen.vram[0], 1));
                    ++cases;
                }
        EXPECT_EQ(cases, kind == ScreenKind::screen12 ? 131072 : 65536);
        EXPECT_EQ(mismatches, 0);
    }
}

// The converter run: the screen file of a 6 x 5 picture, dithered, shows the
// preview made with the same words; other factors are refused, nothing written.
TEST(ScreenFile, ConverterWritesTheScreenFile) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), bmpFile(asymmetricPicture(6, 5)));
    for (std::string option : {"2", "3"}) {
        const std::string screenName = option == "2" ? "out.scc" : "out.SCA";
        auto run = [&](std::string factors, std::string out) {
            return runProgram(TESSALO_EXECUTABLE,
                              {"batch", option, factors, "1", "2", "2", "y", "in.bmp", out}, "",
                              scratch.folder);
        };
        ASSERT_EQ(run("4", "preview.bmp").exitStatus, 0);
        ASSERT_EQ(run("4", screenName).exitStatus, 0);
        Bytes preview = readFile(scratch.path("preview.bmp"));
        Bytes file = readFile(scratch.path(screenName));
        ASSERT_EQ(file.size(), 54279u);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                auto bgr = preview.begin() + 54 + (4 - y) * 20 + 3 * x;
                EXPECT_EQ(Bytes(bgr, bgr + 3),
                          roundedDown(unpackYjk(&file[7 + 256 * y + (x & ~3)], x & 3)));
            }
        for (int y = 0; y < 5; ++y) // right of the picture in its last group: Y 0
            for (int x = 6; x < 8; ++x) EXPECT_EQ(file[7 + 256 * y + x] >> 3, 0) << x << "," << y;
        RunResult refused = run("2", "refused.scc");
        EXPECT_EQ(refused.exitStatus, 1);
        EXPECT_FALSE(fileExists(scratch.path("refused.scc")));
    }
}

std::vector<int> levels(ScreenColour c) { return {c.red, c.green, c.blue}; }

TEST(ScreenDecode, MachineRoundsBlue) {
    // clang-format off
    const struct { ScreenYjk yjk; std::vector<int> expected; } table[] = {
        {{2, 0, 0}, {2, 2, 3}},       // the preview shows blue 2
        {{31, 31, 31}, {31, 31, 16}}, {{0, -32, -32}, {0, 0, 24}},
        {{4, -1, 3}, {3, 7, 5}},      // (20 + 2 - 3 + 2) / 4 = 5.25
        {{1, 5, 0}, {6, 1, 0}},       // -3 / 4 truncates to 0
    };
    // clang-format on
    for (const auto& row : table) EXPECT_EQ(levels(machineColour(row.yjk)), row.expected);
}

// Pixels right of a picture whose width is not a multiple of 4 share their
// group's J and K and keep Y 0: for no J and K does another Y show darker.
TEST(ScreenDecode, LumaZeroIsTheDarkestForEveryChroma) {
    auto energy = [](ScreenColour c) {
        return c.red * c.red + c.green * c.green + c.blue * c.blue;
    };
    int darker = 0;
    for (int j = -32; j < 32; ++j)
        for (int k = -32; k < 32; ++k)
            for (int y = 1; y < 32; ++y)
                darker += energy(machineColour({y, j, k})) < energy(machineColour({0, j, k}));
    EXPECT_EQ(darker, 0);
}

// Screen 11: attribute pixels take the file's palette table when the file
// reaches it, else the chip's power-on colours; YJK neighbours keep the
// group's J and K.
TEST(ScreenDecode, PalettePixels) {
    Bytes file(7 + 0xFAA0, 0);
    file[0] = 0xFE, file[3] = 0x9F, file[4] = 0xFA;
    file[7 + 0] = 0x58;                                      // colour 5, attribute bit
    file[7 + 1] = 0x80 | 1;                                  // Y 16, K bits 5-3 = 1: K = 8
    file[7 + 0xFA80 + 10] = 0x62, file[7 + 0xFA80 + 11] = 7; // colour 5: R 6, B 2, G 7
    ASSERT_EQ(bsaveProblem(file), "");
    EXPECT_EQ(levels(decodeScreen(ScreenKind::screen10, file)[0]), (std::vector<int>{27, 31, 9}));
    EXPECT_EQ(levels(decodeScreen(ScreenKind::screen10, file)[1]), (std::vector<int>{16, 24, 18}));
    file[3] = 0xFF, file[4] = 0xD3;
    EXPECT_EQ(levels(decodeScreen(ScreenKind::screen10, file)[0]), (std::vector<int>{9, 13, 31}));
    EXPECT_EQ(decodeScreen(ScreenKind::screen12, file)[0].red, 11); // Y 11, J 0
}

// Levels as a screenshot of the machine holds them, 5-bit YJK levels and
// 3-bit palette levels alike.
TEST(ScreenDecode, FullScaleLevels) {
    const int levels[][2] = {{0, 0}, {1, 8}, {4, 32}, {5, 41}, {8, 65}, {30, 246}, {31, 255}};
    for (const auto& row : levels) EXPECT_EQ(fullScaleLevel(row[0]), row[1]) << row[0];
    Bytes table(32, 0);
    for (int c = 0; c < 8; ++c) table[2 * std::size_t(c) + 1] = std::uint8_t(c); // green c
    const std::vector<ScreenColour> palette = screenPalette(table.data());
    std::vector<int> greens;
    for (int c = 0; c < 8; ++c) greens.push_back(fullScaleLevel(palette[std::size_t(c)].green));
    EXPECT_EQ(greens, (std::vector<int>{0, 32, 74, 106, 148, 180, 222, 255}));
}

TEST(ScreenDecode, RefusedFiles) {
    // clang-format off
    const struct { Bytes header; std::size_t body; std::string refusal; } table[] = {
        {{0xFE, 0, 0, 0xFF, 0xD3, 0, 0}, 54272, ""},
        {{0xFE, 0, 0, 0xFF, 1, 0, 0}, 512, ""},
        {{0xFD, 0, 0, 0xFF, 1, 0, 0}, 512, "it is not a BSAVE file (the first of its 7 header bytes must be FE)"},
        {{0xFE, 0, 0, 0xFF, 1}, 0, "it is not a BSAVE file (the first of its 7 header bytes must be FE)"},
        {{0xFE, 0, 0x40, 0xFF, 0x40, 0, 0}, 256, "it starts at address &H4000, not at 0: only a whole screen saved from address 0 can be shown"},
        {{0xFE, 0, 0, 0xFE, 0, 0, 0}, 255, "it ends at address &H00FE, before the end of the screen's first line (&H00FF)"},
        {{0xFE, 0, 0, 0xFF, 0xD3, 0, 0}, 54271, "its header says 54272 bytes follow, but only 54271 do"},
    };
    // clang-format on
    for (const auto& row : table) {
        Bytes file = row.header;
        file.resize(file.size() + row.body);
        EXPECT_EQ(bsaveProblem(file), row.refusal);
    }
}

// The program: a two-line screen 12 file becomes a 256 x 2 BMP, bottom line
// first; an unknown extension is refused without output.
TEST(ScreenDecode, Program) {
    Scratch scratch;
    Bytes file = {0xFE, 0, 0, 0xFF, 1, 0, 0};
    file.resize(7 + 512 + 100, 0);
    file[7 + 256] = 0x40; // line 1, pixel 0: Y 8 -> levels 8, 8, 10 -> 65, 65, 82
    writeFile(scratch.path("in.scc"), file);
    writeFile(scratch.path("in\n.sc5"), file);
    RunResult run =
        runProgram(TESSALO_EXECUTABLE, {"--decode", "in.scc", "out.bmp"}, "", scratch.folder);
    EXPECT_EQ(run.exitStatus, 0);
    Bytes bmp = readFile(scratch.path("out.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 2 * 768);
    EXPECT_EQ(Bytes(bmp.begin() + 18, bmp.begin() + 26), (Bytes{0, 1, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(Bytes(bmp.begin() + 54, bmp.begin() + 57), (Bytes{82, 65, 65}));
    EXPECT_EQ(Bytes(bmp.begin() + 54 + 768, bmp.begin() + 57 + 768), (Bytes{0, 0, 0}));
    run = runProgram(TESSALO_EXECUTABLE, {"--decode", "in\n.sc5", "x.bmp"}, "", scratch.folder);
    EXPECT_EQ(run.exitStatus, 1); // the name shown escaped, on one line
    EXPECT_EQ(run.console, "cannot decode in\\n.sc5: the name must end in .SCC (screen 12), .SCA "
                           "or .SCB (screens 10/11)\r\n");
    EXPECT_FALSE(fileExists(scratch.path("x.bmp")));
}

} // namespace

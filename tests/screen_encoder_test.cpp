// The screen encoder, checked against the chip's decode: a group's search
// against every pair and against the block's mean, pictures made of a
// screen's own colours, the attribute bit, and the files it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "screen_encoder.h"
#include "test_support.h"

namespace {

// The same numbers on every machine.
struct Noise {
    std::uint32_t state;
    int below(int limit) {
        state = state * 1664525u + 1013904223u;
        return int((state >> 8) % std::uint32_t(limit));
    }
};

// The squared RGB distance, in the levels the DAC shows, of a decoded
// colour from a target of 8-bit levels.
float rgbError(const ScreenColour& c, const float rgb[3]) {
    const float d[3] = {float(c.red * 255 / 31) - rgb[0], float(c.green * 255 / 31) - rgb[1],
                        float(c.blue * 255 / 31) - rgb[2]};
    return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
}

// The least RGB error of a target under J and K over every Y the screen has.
float bestYjkError(int yStep, int j, int k, const float rgb[3]) {
    float best = std::numeric_limits<float>::max();
    for (int y = 0; y < 32; y += yStep)
        best = std::min(best, rgbError(machineColour({y, j, k}), rgb));
    return best;
}

PixelTarget target(const ColourSpace& space, float red, float green, float blue) {
    PixelTarget t;
    t.rgb[0] = red, t.rgb[1] = green, t.rgb[2] = blue;
    t.metric = metricColourOf(space, t.rgb);
    return t;
}

// Groups of every kind: grey, dark, near white, saturated, mixed, and
// random ones.
std::vector<std::vector<PixelTarget>> testGroups(const ColourSpace& space) {
    // clang-format off
    const float rows[][4][3] = {
        {{128, 128, 128}, {130, 126, 129}, {127, 131, 125}, {129, 129, 131}},
        {{3, 2, 5}, {10, 4, 1}, {0, 0, 0}, {6, 9, 2}},
        {{250, 253, 247}, {255, 255, 255}, {240, 250, 255}, {255, 244, 250}},
        {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}},
        {{200, 40, 30}, {210, 60, 20}, {30, 90, 220}, {20, 100, 210}},
        {{12, 200, 180}, {250, 120, 5}, {70, 70, 70}, {140, 20, 160}},
    };
    // clang-format on
    std::vector<std::vector<PixelTarget>> groups;
    for (const auto& row : rows) {
        std::vector<PixelTarget> group;
        for (const auto& c : row) group.push_back(target(space, c[0], c[1], c[2]));
        groups.push_back(group);
    }
    Noise noise{7};
    for (int g = 0; g < 60; ++g) {
        std::vector<PixelTarget> group;
        const int base[3] = {noise.below(256), noise.below(256), noise.below(256)};
        const int spread = 1 + noise.below(g < 30 ? 40 : 256);
        for (int n = 0; n < 4; ++n) {
            float c[3];
            for (int i = 0; i < 3; ++i)
                c[i] = float(std::clamp(base[i] + noise.below(spread) - spread / 2, 0, 255));
            group.push_back(target(space, c[0], c[1], c[2]));
        }
        groups.push_back(group);
    }
    return groups;
}

// With the RGB metric and every pair allowed, the search's bounds lose
// nothing: it finds the least sum over all 4096 pairs and every Y, for any
// number of pixels.
TEST(ScreenEncoder, BoundedSearchFindsTheBestOfEveryPair) {
    const ColourSpace space = makeColourSpace(ErrorMetric::rgb);
    const SearchPlan full = makeSearchPlan(true);
    for (int yStep : {1, 2})
        for (const auto& group : testGroups(space))
            for (int count : {4, 3}) {
                float least = std::numeric_limits<float>::max();
                for (int j = -32; j < 32; ++j)
                    for (int k = -32; k < 32; ++k) {
                        float sum = 0;
                        for (int n = 0; n < count; ++n)
                            sum += bestYjkError(yStep, j, k, group[std::size_t(n)].rgb);
                        least = std::min(least, sum);
                    }
                const GroupChoice choice = searchGroup(space, full, yStep, group.data(), count);
                EXPECT_NEAR(choice.error, least, 1e-3f * (1 + least));
            }
}

// The chosen group is never worse than the one of the block's mean J and K
// (J = R - Y, K = G - Y with Y = R/4 + G/8 + B/2, rounded), with each
// pixel's best Y, in either metric and either Y depth.
TEST(ScreenEncoder, ChosenGroupIsNeverWorseThanTheBlockMean) {
    const SearchPlan plan = makeSearchPlan(false);
    for (ErrorMetric metric : {ErrorMetric::rgb, ErrorMetric::lab}) {
        const ColourSpace space = makeColourSpace(metric);
        for (int yStep : {1, 2})
            for (const auto& group : testGroups(space)) {
                float j = 0, k = 0;
                for (const PixelTarget& t : group) {
                    const float y = (2 * t.rgb[0] + t.rgb[1] + 4 * t.rgb[2]) / 8;
                    j += (t.rgb[0] - y) * 31 / 255 / 4, k += (t.rgb[1] - y) * 31 / 255 / 4;
                }
                const int meanJ = std::clamp(int(std::lround(j)), -32, 31);
                const int meanK = std::clamp(int(std::lround(k)), -32, 31);
                float meanError = 0;
                for (const PixelTarget& t : group)
                    meanError += choosePixel(space, yStep, meanJ, meanK, t).error;
                const GroupChoice choice = searchGroup(space, plan, yStep, group.data(), 4);
                EXPECT_LE(choice.error, meanError);
            }
    }
}

// A picture of 8-bit levels made by decoding random screen 12 bytes comes
// back, undithered, as the same colours; beyond its width and height every
// byte stays 0. Random bytes clamp most groups' colours hard, so that their
// pair can lie far from the least-squares centre: every pair is allowed.
TEST(ScreenEncoder, DecodedRandomScreenComesBack) {
    for (std::int32_t width : {256, 37}) {
        ScreenImage random = blankScreen(ScreenKind::screen12);
        Noise noise{std::uint32_t(width)};
        for (std::uint8_t& byte : random.vram) byte = std::uint8_t(noise.below(256));
        std::vector<ScreenColour> colours;
        for (std::size_t at = 0; at < random.vram.size(); ++at)
            colours.push_back(
                machineColour(unpackYjk(&random.vram[at & ~std::size_t(3)], int(at & 3))));
        RgbPicture picture;
        picture.width = width, picture.height = 9;
        for (std::int32_t y = 0; y < picture.height; ++y)
            for (std::int32_t x = 0; x < width; ++x) {
                const ScreenColour& c = colours[std::size_t(y * 256 + x)];
                for (int level : {c.red, c.green, c.blue})
                    picture.rgb.push_back(std::uint8_t(level * 255 / 31));
            }
        EncoderSettings settings;
        settings.dithering = Dithering::none;
        settings.fullSearch = true;
        EncodedScreen encoded;
        ASSERT_EQ(encodeScreen(picture, settings, encoded), "");
        long different = 0;
        for (std::int32_t y = 0; y < picture.height; ++y)
            for (std::int32_t x = 0; x < width; ++x) {
                const ScreenColour& a = colours[std::size_t(y * 256 + x)];
                const ScreenColour& b = encoded.shown[std::size_t(y * 256 + x)];
                different += a.red != b.red || a.green != b.green || a.blue != b.blue;
            }
        EXPECT_EQ(different, 0);
        const std::size_t end = std::size_t(picture.height) * 256;
        for (std::size_t at = 0; at < encoded.screen.vram.size(); ++at)
            if (at >= end || std::int32_t(at % 256) >= (width + 3) / 4 * 4) {
                ASSERT_EQ(encoded.screen.vram[at], 0) << "byte " << at;
            }
    }
}

// A picture with saturated stripes that YJK cannot show at 4 pixels a
// J and K, over a soft gradient.
RgbPicture stripedPicture(std::int32_t width, std::int32_t height) {
    RgbPicture picture;
    picture.width = width, picture.height = height;
    const std::uint8_t stripes[4][3] = {
        {250, 10, 20}, {10, 240, 30}, {20, 30, 250}, {250, 240, 10}};
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const bool stripe = (x + y) % 7 < 2;
            for (int i = 0; i < 3; ++i)
                picture.rgb.push_back(stripe ? stripes[(x / 3 + y) % 4][i]
                                             : std::uint8_t(40 + 5 * x + 3 * y + 20 * i));
        }
    return picture;
}

// Undithered, a pixel shows its palette colour exactly where that has less
// error than its best YJK colour under its group's J and K.
TEST(ScreenEncoder, AttributeBitOnlyWhereItLowersTheError) {
    const RgbPicture picture = stripedPicture(30, 6);
    EncoderSettings settings;
    settings.kind = ScreenKind::screen10;
    settings.dithering = Dithering::none;
    EncodedScreen encoded;
    ASSERT_EQ(encodeScreen(picture, settings, encoded), "");
    ASSERT_TRUE(encoded.usesPalette);
    const std::vector<ScreenColour> palette = screenPalette(encoded.palette.data());
    int palettePixels = 0;
    for (std::int32_t y = 0; y < picture.height; ++y)
        for (std::int32_t x = 0; x < picture.width; ++x) {
            const std::uint8_t* group = &encoded.screen.vram[std::size_t(y * 256 + (x & ~3))];
            const ScreenYjk yjk = unpackYjk(group, 0);
            float rgb[3];
            for (int i = 0; i < 3; ++i)
                rgb[i] = picture.rgb[std::size_t(3 * (y * picture.width + x) + i)];
            float paletteError = std::numeric_limits<float>::max();
            for (int c = 1; c < 16; ++c)
                paletteError = std::min(paletteError, rgbError(palette[std::size_t(c)], rgb));
            const float yjkError = bestYjkError(2, yjk.j, yjk.k, rgb);
            const bool attribute = (group[x & 3] & 0x08) != 0;
            EXPECT_EQ(attribute, paletteError < yjkError) << "pixel " << x << "," << y;
            if (attribute) {
                EXPECT_EQ(rgbError(palette[group[x & 3] >> 4], rgb), paletteError);
            }
            palettePixels += attribute;
        }
    EXPECT_GT(palettePixels, 0);
    EXPECT_EQ(encoded.palette[0], 0); // colour 0, seen through to the backdrop, stays unused
    EXPECT_EQ(encoded.palette[1], 0);
}

// The file written decodes to what the encoder says the chip shows: the long
// form with the palette table when palette pixels are used, else the short.
TEST(ScreenEncoder, FileDecodesToWhatTheEncoderShows) {
    // clang-format off
    const struct { ScreenKind kind; bool palette; Dithering dithering; ErrorMetric metric; std::size_t fileSize; } table[] = {
        {ScreenKind::screen12, false, Dithering::diffuse, ErrorMetric::rgb, 54279},
        {ScreenKind::screen12, false, Dithering::none, ErrorMetric::lab, 54279},
        {ScreenKind::screen10, false, Dithering::diffuse, ErrorMetric::rgb, 54279},
        {ScreenKind::screen10, true, Dithering::diffuse, ErrorMetric::rgb, 7 + 0xFAA0},
        {ScreenKind::screen10, true, Dithering::none, ErrorMetric::lab, 7 + 0xFAA0},
    };
    // clang-format on
    const RgbPicture picture = stripedPicture(45, 11);
    for (const auto& row : table) {
        EncoderSettings settings;
        settings.kind = row.kind, settings.palettePixels = row.palette;
        settings.dithering = row.dithering, settings.metric = row.metric;
        EncodedScreen encoded;
        ASSERT_EQ(encodeScreen(picture, settings, encoded), "");
        const Bytes file = encodedFile(encoded);
        ASSERT_EQ(file.size(), row.fileSize);
        ASSERT_EQ(bsaveProblem(file), "");
        const std::vector<ScreenColour> decoded = decodeScreen(row.kind, file);
        ASSERT_EQ(decoded.size(), encoded.shown.size());
        long different = 0;
        for (std::size_t p = 0; p < decoded.size(); ++p)
            different += decoded[p].red != encoded.shown[p].red ||
                         decoded[p].green != encoded.shown[p].green ||
                         decoded[p].blue != encoded.shown[p].blue;
        EXPECT_EQ(different, 0);
    }
}

// Between the picture and the palette table: the hidden lines and sprite
// patterns and colours 0, every sprite's Y 216 (the end of the list).
TEST(ScreenEncoder, LongFileShowsNoSprites) {
    ScreenImage screen = blankScreen(ScreenKind::screen10);
    screen.vram[0xD3FF] = 0x5A;
    PaletteTable table{};
    table[2] = 0x71, table[3] = 0x05, table[31] = 0x07;
    const Bytes file = bsaveFileWithPalette(screen, table);
    ASSERT_EQ(file.size(), 64167u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 7), (Bytes{0xFE, 0, 0, 0x9F, 0xFA, 0, 0}));
    EXPECT_EQ(file[7 + 0xD3FF], 0x5A);
    for (std::size_t at = 0xD400; at < 0xFA80; ++at)
        ASSERT_EQ(file[7 + at], at >= 0xFA00 && at % 4 == 0 ? 216 : 0) << "address " << at;
    EXPECT_EQ(Bytes(file.begin() + 7 + 0xFA80, file.end()), Bytes(table.begin(), table.end()));
}

TEST(ScreenEncoder, Refusals) {
    // clang-format off
    const struct { ScreenKind kind; std::int32_t width, height; std::size_t bytes; std::string refusal; } table[] = {
        {ScreenKind::screen12, 256, 212, 3 * 256 * 212, ""},
        {ScreenKind::screen10, 1, 1, 3, ""},
        {ScreenKind::none, 4, 1, 12, "no screen to encode for"},
        {ScreenKind::screen12, 257, 1, 3 * 257, "a screen holds 1 x 1 to 256 x 212 pixels, not 257 x 1"},
        {ScreenKind::screen12, 8, 213, 3 * 8 * 213, "a screen holds 1 x 1 to 256 x 212 pixels, not 8 x 213"},
        {ScreenKind::screen10, 0, 5, 0, "a screen holds 1 x 1 to 256 x 212 pixels, not 0 x 5"},
        {ScreenKind::screen12, 4, 2, 23, "the picture holds 23 bytes, not 3 x 4 x 2"},
    };
    // clang-format on
    for (const auto& row : table) {
        RgbPicture picture;
        picture.width = row.width, picture.height = row.height;
        picture.rgb.assign(row.bytes, 100);
        EncoderSettings settings;
        settings.kind = row.kind;
        EncodedScreen encoded;
        EXPECT_EQ(encodeScreen(picture, settings, encoded), row.refusal);
    }
}

} // namespace

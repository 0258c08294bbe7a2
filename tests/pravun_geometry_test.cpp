// The resizer's target geometry: examples worked out by hand, the refusals, and a
// plain 32-bit transcription of the steps compared on many random requests.
#include <gtest/gtest.h>

#include <random>

#include "geometry.h"

namespace {

ResizeSettings request(std::uint32_t width, std::uint32_t height, std::uint32_t aspect, bool fit,
                       bool crop) {
    ResizeSettings settings;
    settings.requestedWidth = width;
    settings.requestedHeight = height;
    settings.pixelAspect = aspect;
    settings.fitToBox = fit;
    settings.cropToBox = crop;
    return settings;
}

struct GeometryRow {
    std::uint32_t inputWidth, inputHeight;
    std::uint32_t width, height, aspect;
    bool fit, crop;
    std::uint32_t scaledWidth, scaledHeight, cropWidth, cropHeight, skipColumns, skipRows;
};

const GeometryRow geometryTable[] = {
    {640, 480, 320, 0, 0, false, false, 320, 240, 320, 240, 0, 0},
    {640, 480, 0, 240, 0, false, false, 320, 240, 320, 240, 0, 0},
    {640, 480, 322, 0, 0, false, false, 320, 241, 320, 241, 0, 0}, // height from 322
    {640, 480, 323, 0, 0, false, false, 324, 242, 324, 242, 0, 0},
    {100, 100, 30, 0, 0, false, false, 28, 30, 28, 30, 0, 0},
    {640, 480, 100, 50, 0, false, false, 100, 50, 100, 50, 0, 0}, // both given: stretched
    {800, 600, 320, 240, 0, true, false, 320, 240, 320, 240, 0, 0},
    {1000, 500, 320, 240, 0, true, false, 320, 160, 320, 160, 0, 0},
    {1000, 500, 320, 240, 0, true, true, 480, 240, 320, 240, 80, 0},
    {500, 1000, 320, 240, 0, true, false, 120, 240, 120, 240, 0, 0},
    {500, 1000, 320, 240, 0, true, true, 320, 640, 320, 240, 0, 200},
    {1000, 760, 320, 240, 0, true, true, 320, 243, 320, 240, 0, 1},  // 1 cut first, 2 last
    {1001, 750, 320, 240, 0, true, false, 320, 240, 320, 240, 0, 0}, // 133 ties 133
    {640, 480, 322, 240, 0, true, true, 320, 241, 320, 240, 0, 0},
    {640, 480, 640, 240, 50, true, false, 640, 240, 640, 240, 0, 0},
    {640, 480, 0, 240, 50, false, false, 640, 240, 640, 240, 0, 0},
    {640, 480, 320, 0, 200, false, false, 320, 480, 320, 480, 0, 0},
    {640, 480, 320, 0, 100, false, false, 320, 240, 320, 240, 0, 0},
    {640, 480, 320, 0, 0, false, true, 320, 240, 320, 240, 0, 0},     // "/t" alone cuts nothing
    {10, 10, 2560, 0, 0, false, false, 2560, 2560, 2560, 2560, 0, 0}, // 256 times
    {1024, 1024, 4, 0, 0, false, false, 4, 4, 4, 4, 0, 0},            // 1/256
    {70000, 3, 0, 3, 0, false, false, 70000, 3, 70000, 3, 0, 0},      // no 16-bit limit
    {1000, 1, 0, 10, 65536, false, false, 16, 10, 16, 10, 0, 0},      // 1000000 / 65536 = 15
};

TEST(PravunGeometry, WorkedExamplesTable) {
    for (const GeometryRow& row : geometryTable) {
        SCOPED_TRACE(::testing::Message() << row.inputWidth << "x" << row.inputHeight << " w"
                                          << row.width << " h" << row.height << " a" << row.aspect
                                          << (row.fit ? " m" : "") << (row.crop ? " t" : ""));
        ResizeGeometry g;
        EXPECT_EQ(targetGeometry(row.inputWidth, row.inputHeight,
                                 request(row.width, row.height, row.aspect, row.fit, row.crop), g),
                  "");
        EXPECT_EQ(g.scaledWidth, row.scaledWidth);
        EXPECT_EQ(g.scaledHeight, row.scaledHeight);
        EXPECT_EQ(g.cropWidth, row.cropWidth);
        EXPECT_EQ(g.cropHeight, row.cropHeight);
        EXPECT_EQ(g.skipColumns, row.skipColumns);
        EXPECT_EQ(g.skipRows, row.skipRows);
    }
}

struct RefusalRow {
    std::uint32_t inputWidth, inputHeight;
    ResizeSettings settings;
    std::string refusal;
};

const RefusalRow refusalTable[] = {
    {640, 480, request(1, 0, 0, false, false),
     "the new width 1 rounds down to 0 (widths are multiples of 4)"},
    {640, 480, request(2, 0, 0, false, false),
     "the new width 2 rounds down to 0 (widths are multiples of 4)"},
    {1, 1000, request(0, 100, 0, false, false), "the new width works out as 0 pixels"},
    {1000, 1, request(320, 0, 0, false, false), "the new height works out as 0 pixels"},
    {1000, 1, request(320, 0, 0, true, false), "the new height works out as 0 pixels"},
    {640, 480, request(0, 0, 0, false, false), "no new width or height given"},
    {640, 480, request(0, 0, 50, false, true), "no new width or height given"},
    {0, 10, request(4, 0, 0, false, false), "infile has no pixels (width 0, height 10)"},
    {10, 0, request(4, 0, 0, false, false), "infile has no pixels (width 10, height 0)"},
    {16777216, 1, request(4, 1, 0, false, false),
     "infile is too large to resize (width 16777216, height 1; at most 16777215 each)"},
    {10, 10, request(2564, 0, 0, false, false),
     "the new width 2564 is more than 256 times the input width 10"},
    {1000, 1, request(1000, 257, 0, false, false),
     "the new height 257 is more than 256 times the input height 1"},
    {2000, 2000, request(4, 0, 0, false, false),
     "the new width 4 is less than 1/256 of the input width 2000"},
    {100, 2000, request(100, 7, 0, false, false),
     "the new height 7 is less than 1/256 of the input height 2000"},
    {640, 480, request(16777216, 0, 0, false, false),
     "new width 16777216 is too large (at most 16777215)"},
    {640, 480, request(0, 4294967295u, 0, false, false),
     "new height 4294967295 is too large (at most 16777215)"},
    {16777215, 16777215, request(16777212, 0, 4294967295u, false, false),
     "pixel aspect 4294967295 is too large for a width of 16777212"},
    {65536, 1, request(0, 256, 0, false, false),
     "the new width 16777216 is too large (at most 16777215)"},
    {65535, 65535, request(65535, 0, 0, false, false),
     "the outfile would be 12884705334 bytes, more than a BMP file can hold"},
    {1000, 500, request(2, 240, 0, true, true),
     "the box width rounds down to 0 (widths are multiples of 4)"},
};

TEST(PravunGeometry, RefusalsTable) {
    for (const RefusalRow& row : refusalTable) {
        SCOPED_TRACE(row.refusal);
        ResizeGeometry geometry;
        EXPECT_EQ(targetGeometry(row.inputWidth, row.inputHeight, row.settings, geometry),
                  row.refusal);
    }
}

TEST(PravunGeometry, LargestProductsAreWorkedOutExactly) {
    // 16777212 x 16777215 x 65535 is just below 2^64; in 32 bits it would wrap.
    ResizeGeometry geometry;
    EXPECT_EQ(
        targetGeometry(16777215, 16777215, request(16777212, 0, 65535, false, false), geometry),
        "the new height 10994945884 is more than 256 times the input height "
        "16777215");
}

// ---- the same steps in plain 32-bit arithmetic --------------------------------------
//
// Widths are rounded keeping all their bits. With sides and sizes up to 3000
// and aspects up to 300 no product reaches 2^32.

struct Plain {
    std::uint32_t w, h, cropWidth, cropHeight, skipColumns, skipRows;
    bool dividesByZero;
};

Plain geometryIn32Bits(std::uint32_t W, std::uint32_t H, ResizeSettings s) {
    std::uint32_t w = s.requestedWidth, h = s.requestedHeight, a = s.pixelAspect;
    std::uint32_t cropWidth = 0, cropHeight = 0;
    bool fitPending = s.fitToBox;
step1:
    if (a == 0) a = 100;
    if (w == 0) w = (h * W * 100) / (a * H);
    if (h == 0) h = (w * H * a) / (W * 100);
    if (fitPending) {
        if (h == 0) return {0, 0, 0, 0, 0, 0, true};
        std::uint32_t sourceRatio = (W * 100) / H;
        std::uint32_t boxRatio = (a * w) / h;
        fitPending = false;
        if (s.cropToBox) {
            cropWidth = (w + 1) & ~3u;
            cropHeight = h;
            std::swap(sourceRatio, boxRatio);
        }
        if (sourceRatio > boxRatio) {
            h = 0;
            goto step1;
        }
        if (sourceRatio < boxRatio) {
            w = 0;
            goto step1;
        }
    }
    w = (w + 1) & ~3u;
    if (!s.cropToBox) {
        cropWidth = w;
        cropHeight = h;
    }
    return {w, h, cropWidth, cropHeight, (w - cropWidth) >> 1, (h - cropHeight) >> 1, false};
}

TEST(PravunGeometry, Matches32BitStepsOnRandomRequests) {
    std::mt19937 random(20240601);
    const std::uint32_t aspects[] = {0, 50, 100, 133, 200};
    int compared = 0;
    for (int i = 0; i < 20000; ++i) {
        std::uint32_t W = 1 + random() % 3000, H = 1 + random() % 3000;
        ResizeSettings s = request(random() % 4 == 0 ? 0 : 1 + random() % 3000,
                                   random() % 4 == 0 ? 0 : 1 + random() % 3000,
                                   random() % 2 ? aspects[random() % 5] : 1 + random() % 300,
                                   random() % 2 == 0, false);
        s.cropToBox = s.fitToBox && random() % 2 == 0; // "/t" alone differs on purpose
        if (s.requestedWidth == 0 && s.requestedHeight == 0) continue;
        Plain plain = geometryIn32Bits(W, H, s);
        ResizeGeometry g;
        const std::string refusal = targetGeometry(W, H, s, g);
        // Usable: no side 0, none grown or shrunk by more than 256 times, the
        // width within 2^24 and the written part within a BMP file's 4 GiB.
        const std::uint64_t w = plain.w, h = plain.h;
        bool usable = !plain.dividesByZero && w != 0 && h != 0 && plain.cropWidth != 0 &&
                      w <= 256 * W && h <= 256 * H && w * 256 >= W && h * 256 >= H &&
                      w <= 16777215 &&
                      std::uint64_t(plain.cropWidth) * plain.cropHeight * 3 + 54 <= 0xFFFFFFFFu;
        SCOPED_TRACE(::testing::Message() << W << "x" << H << " w" << s.requestedWidth << " h"
                                          << s.requestedHeight << " a" << s.pixelAspect
                                          << (s.fitToBox ? " m" : "") << (s.cropToBox ? " t" : ""));
        ASSERT_EQ(refusal.empty(), usable) << refusal;
        if (!usable) continue;
        ++compared;
        ASSERT_EQ(g.scaledWidth, plain.w);
        ASSERT_EQ(g.scaledHeight, plain.h);
        ASSERT_EQ(g.cropWidth, plain.cropWidth);
        ASSERT_EQ(g.cropHeight, plain.cropHeight);
        ASSERT_EQ(g.skipColumns, plain.skipColumns);
        ASSERT_EQ(g.skipRows, plain.skipRows);
    }
    EXPECT_GT(compared, 10000);
}

} // namespace

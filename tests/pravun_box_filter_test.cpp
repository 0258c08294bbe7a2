// The resizer's box filter and resize pass: examples worked out by hand, the
// header the pass writes, its memory check, and the streamed pass compared
// with a plain per-pixel transcription of the box filter on many random
// pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "bmp_header.h"
#include "box_filter.h"
#include "file_messages.h"
#include "geometry.h"
#include "input_picture.h"
#include "resize_pass.h"
#include "test_support.h"

namespace {

// A picture whose three channels are equal, values given row by row in
// file order.
TestPicture greyPicture(int width, int height, const std::vector<int>& values) {
    TestPicture picture;
    picture.width = width;
    picture.height = height;
    for (int value : values) {
        std::uint8_t v = std::uint8_t(value);
        picture.pixels.push_back({v, v, v});
    }
    return picture;
}

ResizeGeometry geometryFor(int width, int height, const ResizeSettings& settings) {
    ResizeGeometry geometry;
    EXPECT_EQ(targetGeometry(std::uint32_t(width), std::uint32_t(height), settings, geometry), "");
    return geometry;
}

ResizeSettings widthOnly(std::uint32_t width) {
    ResizeSettings settings;
    settings.requestedWidth = width;
    return settings;
}

// Runs the resize pass in this process on the given input
// file bytes, and returns the bytes of the file it writes.
Bytes resizeFile(const Bytes& inputFile, const ResizeGeometry& geometry, bool exactMean = false) {
    const std::string folder = scratchFolder();
    const std::string inputPath = folder + "/in.bmp", outputPath = folder + "/out.bmp";
    writeFile(inputPath, inputFile);
    Dialogue dialogue;
    dialogue.input = stdin;
    dialogue.output = stdout;
    BinaryFile input;
    PictureRows rows;
    openInputPicture(dialogue, input, inputPath, rows);
    BinaryFile output;
    EXPECT_EQ(openOutputProblem(output, outputPath, &input), "");
    EXPECT_EQ(writeResizedPicture(rows, geometry, exactMean, output), "");
    EXPECT_EQ(commitOutputProblem(output, outputPath), "");
    input.close();
    Bytes written = readFile(outputPath);
    std::remove(inputPath.c_str());
    std::remove(outputPath.c_str());
    std::remove(folder.c_str());
    return written;
}

// The pixel bytes of an output file, one value per channel; output rows
// have no padding because the width is a multiple of 4.
std::vector<int> channel(const Bytes& file, int c) {
    std::vector<int> values;
    for (std::size_t i = bmpHeaderSize + std::size_t(c); i < file.size(); i += 3)
        values.push_back(file[i]);
    return values;
}

// ---- examples worked out by hand ---------------------------------------------------------

struct ExampleRow {
    int width, height;
    std::vector<int> values;
    std::uint32_t requestedWidth;
    std::vector<int> expected; // every channel, row by row
    std::vector<int> exact;    // the same with the exact mean
};

const ExampleRow exampleTable[] = {
    // 2 x 2 blocks averaged: 10, 20 over 30, 40 gives 25.
    {8, 2, {10, 20, 10, 20, 10, 20, 10, 20, 30, 40, 30, 40, 30, 40, 30, 40}, 4, {25, 25, 25, 25},
     {25, 25, 25, 25}},
    // The exact mean 127.5 rounds up; each fixed-point pass rounds down.
    {8, 2, {0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255, 0, 255}, 4,
     {127, 127, 127, 127}, {128, 128, 128, 128}},
    // Doubling copies every source pixel exactly.
    {2, 2, {10, 20, 30, 40}, 4, {10, 10, 20, 20, 10, 10, 20, 20, 30, 30, 40, 40, 30, 30, 40, 40},
     {10, 10, 20, 20, 10, 10, 20, 20, 30, 30, 40, 40, 30, 30, 40, 40}},
    // gainX 341 x stepX 192 is below 65536: a flat 255 comes out 1 lower.
    {3, 1, {255, 255, 255}, 4, {254, 254, 254, 254}, {255, 255, 255, 255}},
    // (0 x 64 + 100 x 128) / 192 = 66.7 and (100 x 128 + 200 x 64) / 192 = 133.3.
    {3, 1, {0, 100, 200}, 4, {0, 66, 133, 199}, {0, 67, 133, 200}},
    {6,
     3,
     {0, 50, 100, 150, 200, 250, 0, 50, 100, 150, 200, 250, 0, 50, 100, 150, 200, 250},
     4,
     {15, 82, 165, 231, 15, 82, 165, 231},
     {17, 83, 167, 233, 17, 83, 167, 233}},
};

TEST(PravunBoxFilter, WorkedExamplesTable) {
    for (const ExampleRow& row : exampleTable) {
        SCOPED_TRACE(::testing::Message()
                     << row.width << "x" << row.height << " to width " << row.requestedWidth);
        ResizeGeometry geometry = geometryFor(row.width, row.height, widthOnly(row.requestedWidth));
        const Bytes input = bmpFile(greyPicture(row.width, row.height, row.values));
        const Bytes file = resizeFile(input, geometry), exact = resizeFile(input, geometry, true);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(channel(file, c), row.expected);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(channel(exact, c), row.exact);
    }
}

TEST(PravunBoxFilter, ThousandSquareOf255AtWidth300Gives249Or255Exactly) {
    ResizeGeometry geometry = geometryFor(1000, 1000, widthOnly(300));
    const Bytes input = bmpFile(greyPicture(1000, 1000, std::vector<int>(1000000, 255)));
    Bytes file = resizeFile(input, geometry);
    ASSERT_EQ(file.size(), 54u + 300u * 300u * 3u);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(channel(file, c), std::vector<int>(90000, 249));
    file = resizeFile(input, geometry, true);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(channel(file, c), std::vector<int>(90000, 255));
}

struct StepsRow {
    std::uint32_t inputWidth, inputHeight, scaledWidth, scaledHeight;
    std::uint32_t stepX, stepY, gainX, gainY;
};

// clang-format off
const StepsRow stepsTable[] = {
    {8, 2, 4, 1, 512, 512, 128, 128},
    {2, 2, 4, 4, 128, 128, 512, 512},
    {3, 1, 4, 1, 192, 256, 341, 256},
    {6, 3, 4, 2, 384, 384, 170, 170},
    {1000, 1000, 300, 300, 853, 853, 76, 76},
};
// clang-format on

TEST(PravunBoxFilter, StepsAndGainsTable) {
    for (const StepsRow& row : stepsTable) {
        ResizeGeometry geometry;
        geometry.scaledWidth = row.scaledWidth;
        geometry.scaledHeight = row.scaledHeight;
        ResizeSteps steps = resizeSteps(row.inputWidth, row.inputHeight, geometry);
        EXPECT_EQ(steps.stepX, row.stepX);
        EXPECT_EQ(steps.stepY, row.stepY);
        EXPECT_EQ(steps.gainX, row.gainX);
        EXPECT_EQ(steps.gainY, row.gainY);
    }
}

struct FootprintRow {
    std::uint32_t step, t;
    std::uint32_t first, last, firstWeight, lastWeight;
};

const FootprintRow footprintTable[] = {
    {192, 0, 0, 0, 192, 0},   // inside one pixel
    {192, 1, 0, 1, 64, 128},  // units 192 to 384
    {128, 1, 0, 0, 128, 0},   // units 128 to 256 end on the border
    {512, 1, 2, 3, 256, 256}, // two whole pixels
    {853, 1, 3, 6, 171, 170}, // units 853 to 1706
};

TEST(PravunBoxFilter, FootprintTable) {
    for (const FootprintRow& row : footprintTable) {
        SCOPED_TRACE(::testing::Message() << "step " << row.step << " t " << row.t);
        Footprint span = footprint(row.step, row.t);
        EXPECT_EQ(span.first, row.first);
        EXPECT_EQ(span.last, row.last);
        EXPECT_EQ(span.firstWeight, row.firstWeight);
        EXPECT_EQ(span.lastWeight, row.lastWeight);
    }
}

// ---- the output header -------------------------------------------------------------

Bytes distinctiveHeaderFile(int width, int height) {
    Bytes file = bmpFile(asymmetricPicture(width, height));
    for (std::size_t i : {6, 7, 8, 9}) file[i] = std::uint8_t(0xA0 + i); // reserved words
    for (std::size_t i = 38; i < 54; ++i) file[i] = std::uint8_t(i);     // resolutions, colours
    return file;
}

TEST(PravunResizePass, HeaderOf320By240OutputHasItsSizes) {
    Bytes file = resizeFile(distinctiveHeaderFile(640, 480), geometryFor(640, 480, widthOnly(320)));
    ASSERT_EQ(file.size(), 230454u);
    EXPECT_EQ(readU32le(&file[18]), 320u);
    EXPECT_EQ(readU32le(&file[22]), 240u);
    EXPECT_EQ(readU32le(&file[34]), 230400u);
    EXPECT_EQ(readU32le(&file[2]), 230454u);
}

TEST(PravunResizePass, UntouchedHeaderBytesAreCopied) {
    Bytes input = distinctiveHeaderFile(640, 480);
    Bytes file = resizeFile(input, geometryFor(640, 480, widthOnly(320)));
    ASSERT_GE(file.size(), 54u);
    for (std::size_t i :
         {0, 1, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 26, 27, 28, 29, 30, 31, 32, 33})
        EXPECT_EQ(file[i], input[i]) << "byte " << i;
    for (std::size_t i = 38; i < 54; ++i) EXPECT_EQ(file[i], input[i]) << "byte " << i;
}

// The same picture behind a 124-byte information header and a gap.
Bytes largeHeaderFile(const Bytes& plain) {
    Bytes file(plain.begin(), plain.begin() + 54);
    file.resize(14 + 124 + 6, 0x5A);
    file.insert(file.end(), plain.begin() + 54, plain.end());
    putU32le(&file[2], std::uint32_t(file.size()));
    putU32le(&file[10], 14 + 124 + 6);
    putU32le(&file[14], 124);
    return file;
}

TEST(PravunResizePass, LargerInputHeaderGivesAPlainConsistentOutput) {
    Bytes plain = bmpFile(asymmetricPicture(7, 5), 0xEE);
    ResizeGeometry geometry = geometryFor(7, 5, widthOnly(12));
    Bytes fromPlain = resizeFile(plain, geometry);
    Bytes fromLarge = resizeFile(largeHeaderFile(plain), geometry);
    EXPECT_EQ(readU32le(&fromLarge[10]), 54u);
    EXPECT_EQ(readU32le(&fromLarge[14]), 40u);
    EXPECT_EQ(fromLarge, fromPlain);
}

// A run-length file of 24 KB claiming a picture 100 million pixels wide and
// one high, black: its codes end the picture at once, and the zeros after
// them give it the data bytes such a width needs to pass the header check.
Bytes wideRunLengthFile() {
    Bytes file(54 + 4, 0);
    file[0] = 'B';
    file[1] = 'M';
    putLe(file, 10, 54 + 4, 4); // one colour table entry, black
    putLe(file, 14, 40, 4);
    putLe(file, 18, 100000000, 4);
    putLe(file, 22, 1, 4);
    putLe(file, 26, 1, 2);
    putLe(file, 28, 8, 2);
    putLe(file, 30, bmpRle8, 4);
    putLe(file, 46, 1, 4);
    file.push_back(0); // end of picture
    file.push_back(1);
    file.resize(file.size() + 24500, 0);
    putLe(file, 2, std::uint32_t(file.size()), 4);
    return file;
}

TEST(PravunResizePass, RunLengthInputTooWideToHoldIsRefusedBeforeWriting) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), wideRunLengthFile());
    Dialogue dialogue;
    dialogue.input = stdin;
    dialogue.output = stdout;
    BinaryFile input;
    PictureRows rows;
    openInputPicture(dialogue, input, scratch.path("in.bmp"), rows);
    BinaryFile output;
    ASSERT_EQ(openOutputProblem(output, scratch.path("out.bmp"), &input), "");
    // Written 4 x 1 out of 400000 x 1: only the input row is large.
    ResizeGeometry geometry;
    geometry.scaledWidth = 400000;
    geometry.scaledHeight = 1;
    geometry.cropWidth = 4;
    geometry.cropHeight = 1;
    EXPECT_EQ(writeResizedPicture(rows, geometry, false, output),
              "infile is run-length coded and 100000000 pixels wide: working on it would take "
              "287 MiB, more than the 256 MiB allowed for compressed pictures");
    EXPECT_EQ(output.length(), 0);
    input.close();
}

// ---- the box filter pixel by pixel, as a reference --------------------------------------------
//
// A literal transcription: the whole picture in memory, every horizontal sum
// recomputed for every vertical segment of every target pixel, all target
// pixels computed and those outside the crop window dropped. The exact mean
// keeps the sums whole and divides once by stepX x stepY, rounding half up.

Bytes perPixelBoxFilter(const TestPicture& picture, const ResizeGeometry& g, bool exact) {
    const std::uint32_t W = std::uint32_t(picture.width), H = std::uint32_t(picture.height);
    const std::uint32_t stepX = (W * 256) / g.scaledWidth, stepY = (H * 256) / g.scaledHeight;
    const std::uint32_t gainX = (g.scaledWidth * 256) / W, gainY = (g.scaledHeight * 256) / H;
    Bytes pixels;
    std::vector<std::uint8_t> rowBuffer(std::size_t(g.cropWidth) * 3);
    for (std::uint32_t ty = 0; ty < g.scaledHeight; ++ty) {
        for (std::uint32_t tx = 0; tx < g.scaledWidth; ++tx) {
            const std::uint32_t xStart = stepX * tx, xEnd = xStart + stepX;
            const std::uint32_t yStart = stepY * ty, yEnd = yStart + stepY;
            std::uint64_t pixelSum[3] = {0, 0, 0};
            std::uint32_t fy = yStart;
            for (;;) {
                const std::uint32_t r = fy / 256;
                std::uint32_t fx = xStart;
                std::uint32_t rowSum[3] = {0, 0, 0};
                for (;;) {
                    const Bgr& p = picture.pixels.at(std::size_t(r) * W + fx / 256);
                    const bool lastSegment = fx / 256 == xEnd / 256;
                    const std::uint32_t weight = lastSegment ? xEnd - fx : 256 - (fx & 255);
                    if (!lastSegment) fx += weight;
                    rowSum[0] += p.blue * weight;
                    rowSum[1] += p.green * weight;
                    rowSum[2] += p.red * weight;
                    if (lastSegment || fx >= xEnd) break;
                }
                if (!exact)
                    for (std::uint32_t& sum : rowSum) sum = (gainX * sum) >> 16;
                const bool lastSegment = fy / 256 == yEnd / 256;
                const std::uint32_t weight = lastSegment ? yEnd - fy : 256 - (fy & 255);
                if (!lastSegment) fy += weight;
                for (int c = 0; c < 3; ++c) pixelSum[c] += rowSum[c] * weight;
                if (lastSegment || fy >= yEnd) break;
            }
            if (tx >= g.skipColumns && tx < g.skipColumns + g.cropWidth)
                for (int c = 0; c < 3; ++c)
                    rowBuffer[3 * std::size_t(tx - g.skipColumns) + std::size_t(c)] =
                        exact ? std::uint8_t((pixelSum[c] + std::uint64_t(stepX) * stepY / 2) /
                                             (std::uint64_t(stepX) * stepY))
                              : std::uint8_t((gainY * pixelSum[c]) >> 16);
        }
        if (ty >= g.skipRows && ty < g.skipRows + g.cropHeight)
            pixels.insert(pixels.end(), rowBuffer.begin(), rowBuffer.end());
    }
    return pixels;
}

TestPicture noisePicture(std::mt19937& random, int width, int height) {
    TestPicture picture;
    picture.width = width;
    picture.height = height;
    for (int i = 0; i < width * height; ++i)
        picture.pixels.push_back(
            {std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random())});
    return picture;
}

// A random request of each kind: one side, both sides, fit, fill, with or
// without a pixel aspect; sizes from a 256th to 256 times the input.
ResizeSettings randomRequest(std::mt19937& random, int width, int height) {
    auto side = [&](int input) {
        std::uint32_t low = std::uint32_t(input + 255) / 256, high = std::uint32_t(input) * 6;
        if (random() % 8 == 0) high = std::uint32_t(input) * 256;
        return low + random() % (high - low + 1);
    };
    const std::uint32_t aspects[] = {0, 0, 50, 100, 133, 200, 75};
    ResizeSettings settings;
    switch (random() % 5) {
    case 0: settings.requestedWidth = side(width); break;
    case 1: settings.requestedHeight = side(height); break;
    case 2:
        settings.requestedWidth = side(width);
        settings.requestedHeight = side(height);
        break;
    default:
        settings.requestedWidth = side(width);
        settings.requestedHeight = side(height);
        settings.fitToBox = true;
    }
    settings.cropToBox = random() % 2 == 0;
    settings.pixelAspect = aspects[random() % 7];
    return settings;
}

struct RandomCase {
    int cases, maxWidth, maxHeight;
};

TEST(PravunResizePass, StreamedResultEqualsThePixelByPixelFilter) {
    std::mt19937 random(4711);
    // Small pictures of every shape, long thin ones, and strong reductions.
    const RandomCase kinds[] = {{300, 40, 40}, {40, 600, 3}, {40, 3, 600}, {30, 700, 700}};
    int compared = 0;
    for (const RandomCase& kind : kinds) {
        for (int i = 0; i < kind.cases; ++i) {
            const int width = 1 + int(random() % std::uint32_t(kind.maxWidth));
            const int height = 1 + int(random() % std::uint32_t(kind.maxHeight));
            const ResizeSettings settings = randomRequest(random, width, height);
            ResizeGeometry geometry;
            if (!targetGeometry(std::uint32_t(width), std::uint32_t(height), settings, geometry)
                     .empty())
                continue;
            if (std::uint64_t(geometry.scaledWidth) * geometry.scaledHeight > 2000000) continue;
            SCOPED_TRACE(::testing::Message()
                         << width << "x" << height << " w" << settings.requestedWidth << " h"
                         << settings.requestedHeight << " a" << settings.pixelAspect
                         << (settings.fitToBox ? " m" : "") << (settings.cropToBox ? " t" : ""));
            const TestPicture picture = noisePicture(random, width, height);
            const bool exact = i % 2 == 1;
            const Bytes file =
                resizeFile(bmpFile(picture, std::uint8_t(random())), geometry, exact);
            ASSERT_GE(file.size(), bmpHeaderSize);
            const Bytes pixels(file.begin() + bmpHeaderSize, file.end());
            ASSERT_EQ(pixels, perPixelBoxFilter(picture, geometry, exact)) << "exact " << exact;
            ++compared;
        }
    }
    EXPECT_GT(compared, 300);
}

} // namespace

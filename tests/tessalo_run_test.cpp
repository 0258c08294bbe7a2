// The converter run as a user runs it: the real program, its console bytes,
// its exit status and the bytes of the preview it writes. Expected pictures
// come from a plain transcription of the conversion written here, planes
// indexed [x][y], independent of the program's own code.
#include <gtest/gtest.h>

#include <cmath>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "test_support.h"

namespace {

const Program& tessalo = programs()[0];
const std::string& greeting = tessalo.before;
const std::string menu =
    crlfLines({"select color depth", "", "1) YJK 888", "2) YJK 566       (MSX screen 12)",
               "3) YJK 466       (MSX screen 10)", "4) YUV 888", "5) custom YJK", "6) custom YUV"});
const std::string progress =
    crlfLines({"loading image...", "analyzing image...", "converting image..."});

std::string sizeLine(int width, int height) {
    return "input file width =  " + std::to_string(width) + " height =  " + std::to_string(height) +
           "\r\n";
}

// ---- the reference conversion --------------------------------------------------

struct Options {
    int mask1Y, mask1A, mask1B, mask2Y, mask2A, mask2B;
    bool yuv;
    int hFactor, vFactor, lumaDither, chromaDither;
    bool dac;
};

using Grid = std::vector<std::vector<int>>; // [x][y]

Grid grid(int width, int height, int value = 0) {
    return Grid(std::size_t(width), std::vector<int>(std::size_t(height), value));
}

int floorShift(int value, int bits) { // arithmetic shift written as floor division
    return int(std::floor(double(value) / double(1 << bits)));
}

long double d(double value) { return value; }

int nearestEven(long double value) { return int(std::nearbyint(value)); }

void spread(Grid& g, int x, int y, int maxX, int error) {
    auto add = [&](int cx, int cy, int weight) {
        int t = g[cx][cy] + (error * weight) / 16;
        g[cx][cy] = t > 255 ? 255 : t;
    };
    if (x < maxX) add(x + 1, y, 7);
    if (y >= 1 && x < maxX) add(x + 1, y - 1, 1);
    if (y >= 1 && x >= 1) add(x - 1, y - 1, 3);
    if (y >= 1) add(x, y - 1, 5);
}

// The preview file the converter should write for the input file bytes.
Bytes referencePreview(const Bytes& input, const Options& o) {
    auto le32 = [&](std::size_t at) {
        return std::uint32_t(input[at] | input[at + 1] << 8 | input[at + 2] << 16 |
                             input[at + 3] << 24);
    };
    const int width = int(le32(18)), height = int(le32(22));
    const std::size_t offset = le32(10);
    const int stride = (width * 3 + 3) / 4 * 4;
    Grid luma = grid(width, height), ca = grid(width, height), cb = grid(width, height);
    Bytes lastRow;
    for (int r = 0; r < height; ++r) {
        int y = height - 1 - r;
        Bytes row(std::size_t(stride), 0);
        for (int i = 0; i < stride; ++i) {
            std::size_t at = offset + std::size_t(r) * stride + i;
            if (at < input.size()) row[i] = input[at];
        }
        for (int x = 0; x < width; ++x) {
            int b = row[3 * x], g = row[3 * x + 1], rr = row[3 * x + 2];
            if (!o.yuv) {
                int lY = b / 2 + rr / 4 + g / 8;
                luma[x][y] = lY;
                ca[x][y] = floorShift(rr - lY, 1) + 128;
                cb[x][y] = floorShift(g - lY, 1) + 128;
            } else {
                int lY = nearestEven((rr * d(0.299) + g * d(0.587)) + b * d(0.114));
                luma[x][y] = lY;
                ca[x][y] = nearestEven((b - lY) * d(0.493)) + 128;
                cb[x][y] = floorShift(nearestEven((rr - lY) * d(0.877)), 1) + 128;
            }
        }
        lastRow = row;
    }
    const int hs = o.hFactor / 2, vs = o.vFactor / 2;
    const int subW = (width + 3) >> hs, subH = (height + 3) >> vs;
    Grid sa = grid(subW, subH), sb = grid(subW, subH);
    for (int sx = 0; sx < subW; ++sx)
        for (int sy = 0; sy < subH; ++sy) {
            int sumA = 0, sumB = 0;
            for (int j = 0; j < o.vFactor; ++j)
                for (int i = 0; i < o.hFactor; ++i) {
                    int x = std::min(sx * o.hFactor + i, width - 1);
                    int y = std::min(sy * o.vFactor + j, height - 1);
                    sumA += ca[x][y];
                    sumB += cb[x][y];
                }
            sa[sx][sy] = sumA / (o.hFactor * o.vFactor);
            sb[sx][sy] = sumB / (o.hFactor * o.vFactor);
        }

    const std::uint32_t dataSize = std::uint32_t(stride) * std::uint32_t(height);
    Bytes out(54, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + i] = std::uint8_t(v >> (8 * i));
    };
    out[0] = 'B', out[1] = 'M';
    put32(2, dataSize + 54), put32(10, 54), put32(14, 40), put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(height)), out[26] = 1, out[28] = 24, put32(34, dataSize);
    put32(38, 3780), put32(42, 3780);

    Bytes row = lastRow;
    auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            int sx = x / o.hFactor, sy = y / o.vFactor;
            int sY = luma[x][y], sA = sa[sx][sy], sB = sb[sx][sy];
            if (o.lumaDither == 1 && (x + y) % 2 == 1 && (sY & o.mask2Y))
                sY = std::min(sY + o.mask2Y, 255);
            if (o.chromaDither == 1 && (sx + sy) % 2 == 1) {
                if (sA & o.mask2A) sA = std::min(sA + o.mask2A, 255);
                if (sB & o.mask2B) sB = std::min(sB + o.mask2B, 255);
            }
            int mY = sY & o.mask1Y, mA = sA & o.mask1A, mB = sB & o.mask1B;
            if (o.lumaDither == 2) spread(luma, x, y, width - 1, sY - mY);
            if (o.chromaDither == 2 && x == sx * o.hFactor && y == sy * o.vFactor + o.vFactor - 1) {
                spread(sa, sx, sy, subW - 1, sA - mA);
                spread(sb, sx, sy, subW - 1, sB - mB);
            }
            int R, G, B;
            if (!o.yuv) {
                int j = mA - 128, k = mB - 128;
                R = mY + 2 * j;
                G = mY + 2 * k;
                B = floorShift(5 * mY, 2) - j - floorShift(k, 1);
            } else {
                int u = mA - 128, v = 2 * (mB - 128);
                R = nearestEven(v / d(0.877) + mY);
                B = nearestEven(u / d(0.493) + mY);
                G = nearestEven(((mY - B * d(0.114)) - R * d(0.299)) / d(0.587));
            }
            R = clamp(R), G = clamp(G), B = clamp(B);
            if (o.dac) R &= 0xF8, G &= 0xF8, B &= 0xF8;
            row[3 * x] = std::uint8_t(B);
            row[3 * x + 1] = std::uint8_t(G);
            row[3 * x + 2] = std::uint8_t(R);
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// The batch words for the options: the preset number or the custom masks.
std::vector<std::string> batchWords(int option, const Options& o, const std::string& in,
                                    const std::string& out) {
    std::vector<std::string> words{"batch", std::to_string(option)};
    if (option >= 5)
        for (int m : {o.mask1Y, o.mask1A, o.mask1B, o.mask2Y, o.mask2A, o.mask2B})
            words.push_back(std::to_string(m));
    for (int v : {o.hFactor, o.vFactor, o.lumaDither, o.chromaDither})
        words.push_back(std::to_string(v));
    if (!o.yuv) words.push_back(o.dac ? "y" : "n");
    words.push_back(in);
    words.push_back(out);
    return words;
}

struct PresetRun {
    int option;
    Options options;
};

const PresetRun presetRuns[] = {
    {1, {0xFF, 0xFF, 0xFF, 0, 0, 0, false, 1, 1, 0, 0, false}},
    {2, {0xF8, 0xFC, 0xFC, 4, 2, 2, false, 2, 2, 2, 1, true}},
    {2, {0xF8, 0xFC, 0xFC, 4, 2, 2, false, 4, 1, 1, 2, false}},
    {3, {0xF0, 0xFC, 0xFC, 8, 2, 2, false, 1, 4, 2, 2, true}},
    {3, {0xF0, 0xFC, 0xFC, 8, 2, 2, false, 4, 4, 1, 1, false}},
    {4, {0xFF, 0xFF, 0xFF, 0, 0, 0, true, 2, 2, 0, 0, false}},
    {4, {0xFF, 0xFF, 0xFF, 0, 0, 0, true, 1, 2, 2, 2, false}},
    {5, {0xE0, 0xF0, 0xC0, 16, 8, 32, false, 2, 1, 1, 2, true}},
    {6, {0xFC, 0xF8, 0xF0, 2, 4, 8, true, 2, 4, 2, 1, false}},
    {6, {0xC0, 0xE0, 0x80, 0x20, 0x10, 0x40, true, 4, 2, 2, 2, false}},
};

// A picture with strong gradients and detail, so that dithering errors and
// clamping both occur.
TestPicture busyPicture(int width, int height) {
    TestPicture p;
    p.width = width;
    p.height = height;
    for (int r = 0; r < height; ++r)
        for (int x = 0; x < width; ++x)
            p.pixels.push_back({std::uint8_t((x * 37 + r * 11) * 7 % 256),
                                std::uint8_t((x * 5 + r * 53 + x * r) % 256),
                                std::uint8_t(255 - (x * 19 + r * 23) % 256)});
    return p;
}

using TessaloRun = ProgramRun;

// ---- pictures, byte for byte ------------------------------------------------------

TEST_F(TessaloRun, EveryPresetMatchesTheReferenceByteForByte) {
    const int sizes[][2] = {{1, 1}, {2, 3}, {5, 3}, {7, 5}, {8, 8}, {13, 6}};
    for (const PresetRun& preset : presetRuns)
        for (const auto& size : sizes) {
            SCOPED_TRACE(::testing::Message()
                         << "option " << preset.option << " factors " << preset.options.hFactor
                         << "x" << preset.options.vFactor << " dither " << preset.options.lumaDither
                         << "/" << preset.options.chromaDither << " size " << size[0] << "x"
                         << size[1]);
            Bytes input = bmpFile(busyPicture(size[0], size[1]));
            writeFile(path("in.bmp"), input);
            RunResult result =
                run(tessalo, batchWords(preset.option, preset.options, "in.bmp", "out.bmp"));
            EXPECT_EQ(result.exitStatus, 0);
            EXPECT_EQ(result.console, greeting + sizeLine(size[0], size[1]) + progress);
            EXPECT_EQ(readFile(path("out.bmp")), referencePreview(input, preset.options));
        }
}

TEST_F(TessaloRun, InputPaddingIsCarriedIntoEveryOutputRow) {
    Bytes input = bmpFile(asymmetricPicture(5, 3), 0xA5);
    writeFile(path("in.bmp"), input);
    run(tessalo, {"batch", "2", "2", "2", "1", "1", "n", "in.bmp", "out.bmp"});
    Bytes out = readFile(path("out.bmp"));
    ASSERT_EQ(out.size(), 54u + 3 * 16);
    for (int r = 0; r < 3; ++r) EXPECT_EQ(out[54 + 16 * r + 15], 0xA5) << "row " << r;
    Options o{0xF8, 0xFC, 0xFC, 4, 2, 2, false, 2, 2, 1, 1, false};
    EXPECT_EQ(out, referencePreview(input, o));
}

TEST_F(TessaloRun, PixelRowsAreReadFromTheHeadersOffset) {
    // A 124-byte information header: the rows start at offset 138.
    Bytes plain = bmpFile(asymmetricPicture(3, 2));
    Bytes v5(plain.begin(), plain.begin() + 54);
    v5.resize(138, 0);
    v5[10] = 138, v5[14] = 124;
    v5.insert(v5.end(), plain.begin() + 54, plain.end());
    writeFile(path("plain.bmp"), plain);
    writeFile(path("v5.bmp"), v5);
    std::vector<std::string> words{"batch", "3", "1", "1", "2", "2", "y"};
    auto withNames = [&](std::string in, std::string out) {
        std::vector<std::string> w = words;
        w.push_back(in);
        w.push_back(out);
        return w;
    };
    EXPECT_EQ(run(tessalo, withNames("plain.bmp", "a.bmp")).exitStatus, 0);
    EXPECT_EQ(run(tessalo, withNames("v5.bmp", "b.bmp")).exitStatus, 0);
    EXPECT_EQ(readFile(path("a.bmp")), readFile(path("b.bmp")));
}

TEST_F(TessaloRun, ExistingLongerOutputIsReplacedWhole) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(10, 10)));
    writeFile(path("out.bmp"), Bytes(1000000, 0x77));
    run(tessalo, {"batch", "1", "1", "1", "0", "0", "n", "in.bmp", "out.bmp"});
    EXPECT_EQ(readFile(path("out.bmp")).size(), 54u + 10 * 32);
    EXPECT_EQ(folderEntries(folder).size(), 2u); // no temporary file left
}

TEST_F(TessaloRun, OutputNameEqualToInputNameReplacesTheInput) {
    Bytes input = bmpFile(asymmetricPicture(6, 4));
    writeFile(path("pic.bmp"), input);
    RunResult result = run(tessalo, {"batch", "2", "1", "1", "0", "0", "n", "pic.bmp", "pic.bmp"});
    EXPECT_EQ(result.exitStatus, 0);
    Options o{0xF8, 0xFC, 0xFC, 4, 2, 2, false, 1, 1, 0, 0, false};
    EXPECT_EQ(readFile(path("pic.bmp")), referencePreview(input, o));
}

TEST_F(TessaloRun, MissingLastRowPaddingReadsAsZero) {
    Bytes input = bmpFile(asymmetricPicture(5, 2), 0x33);
    input.resize(input.size() - 1); // the last row's one padding byte is cut
    writeFile(path("in.bmp"), input);
    RunResult result = run(tessalo, {"batch", "1", "1", "1", "0", "0", "n", "in.bmp", "out.bmp"});
    EXPECT_EQ(result.exitStatus, 0);
    Bytes out = readFile(path("out.bmp"));
    ASSERT_EQ(out.size(), 54u + 2 * 16);
    EXPECT_EQ(out[54 + 15], 0); // the last row read gives every row its padding
    EXPECT_EQ(out[54 + 16 + 15], 0);
}

// ---- the dialogue ------------------------------------------------------------------

TEST_F(TessaloRun, PipedDialogueAsksEveryQuestionInOrderWithoutQuestionMarks) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(4, 2)));
    RunResult result = run(tessalo, {}, "5\n240,252,252\n8,2,2\n2\n1\n2\n1\nY\nin.bmp\nout.bmp\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.console,
              greeting + menu + "option" + "bitmask1 ybitmask1 jbitmask1 kbitmask2 y" +
                  "bitmask2 jbitmask2 k" + "chroma subsampling horizontal factor (1,2,4)" +
                  "chroma subsampling vertical factor (1,2,4)" +
                  "luma plane dithering level (0...2)" + "chroma plane dithering level (0...2)" +
                  "filter for V9958 DAC (RGB 555) (y/n)" + "infile " + "outfile " + sizeLine(4, 2) +
                  progress);
    Options o{240, 252, 252, 8, 2, 2, false, 2, 1, 2, 1, true};
    EXPECT_EQ(readFile(path("out.bmp")), referencePreview(readFile(path("in.bmp")), o));
}

TEST_F(TessaloRun, YuvCustomMasksUseUAndVPromptsAndNoFilterQuestion) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(4, 2)));
    RunResult result = run(tessalo, {"Batch"}, "6,255,255,255,0,0,0,1,1,0,0,in.bmp,o.bmp");
    EXPECT_EQ(result.console,
              greeting + menu + "option" + "bitmask1 ybitmask1 ubitmask1 vbitmask2 y" +
                  "bitmask2 ubitmask2 v" + "chroma subsampling horizontal factor (1,2,4)" +
                  "chroma subsampling vertical factor (1,2,4)" +
                  "luma plane dithering level (0...2)" + "chroma plane dithering level (0...2)" +
                  "infile " + "outfile " + sizeLine(4, 2) + progress);
    EXPECT_TRUE(fileExists(path("o.bmp")));
}

// Each row: the batch words after "batch", the console answers, what the
// console shows between the greeting and the size line, and the output name
// that must have been written.
struct BatchRow {
    const char* name;
    std::vector<std::string> words;
    std::string answers;
    std::string shown;
    std::string written;
};

TEST_F(TessaloRun, BatchWordConsumptionAndReasking) {
    const std::string h = "chroma subsampling horizontal factor (1,2,4)";
    const std::string v = "chroma subsampling vertical factor (1,2,4)";
    const BatchRow rows[] = {
        {"option 1 takes words 2 to 9",
         {"1", "1", "1", "0", "0", "n", "in.bmp", "a.bmp", "x"},
         "",
         "",
         "a.bmp"},
        {"option 4 takes no filter word",
         {"4", "2", "2", "0", "0", "in.bmp", "b.bmp"},
         "",
         "",
         "b.bmp"},
        {"option 5 takes six masks",
         {"5", "255", "255", "255", "0", "0", "0", "1", "1", "0", "0", "n", "in.bmp", "c.bmp"},
         "",
         "",
         "c.bmp"},
        {"option 6 takes six masks and no filter word",
         {"6", "255", "255", "255", "0", "0", "0", "1", "1", "0", "0", "in.bmp", "d.bmp"},
         "",
         "",
         "d.bmp"},
        {"option 7 asks the option on the console, masks still from words",
         {"7", "255", "255", "255", "0", "0", "0", "1", "1", "0", "0", "n", "in.bmp", "e.bmp"},
         "5\n",
         "option",
         "e.bmp"},
        {"a custom luma mask of 1 asks the option again",
         {"5", "1", "255", "255", "0", "0", "0", "2", "2", "0", "0", "n", "in.bmp", "f.bmp"},
         "1\n",
         "option",
         "f.bmp"},
        {"horizontal factor 3 is asked again",
         {"1", "3", "1", "0", "0", "n", "in.bmp", "g.bmp"},
         "2\n",
         h,
         "g.bmp"},
        {"vertical factor 3 asks both again, the vertical from the next word",
         {"1", "1", "3", "4", "0", "0", "n", "in.bmp", "h.bmp"},
         "2\n",
         h,
         "h.bmp"},
        {"dithering level 3 is asked again",
         {"1", "1", "1", "3", "0", "n", "in.bmp", "i.bmp"},
         "2\n",
         "luma plane dithering level (0...2)",
         "i.bmp"},
        {"dithering word 258 is level 2",
         {"1", "1", "1", "258", "0", "n", "in.bmp", "j.bmp"},
         "",
         "",
         "j.bmp"},
    };
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(3, 3)));
    for (const BatchRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> words{"batch"};
        words.insert(words.end(), row.words.begin(), row.words.end());
        RunResult result = run(tessalo, words, row.answers);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.console, greeting + row.shown + sizeLine(3, 3) + progress);
        EXPECT_TRUE(fileExists(path(row.written)));
    }
}

TEST_F(TessaloRun, DacAnswerMustBeExactlyYOrCapitalY) {
    Bytes input = bmpFile(busyPicture(4, 2));
    writeFile(path("in.bmp"), input);
    const std::pair<const char*, bool> answers[] = {
        {"y", true}, {"Y", true}, {"yes", false}, {"n", false}, {"", false}};
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.first);
        run(tessalo, {"batch", "1", "1", "1", "0", "0", answer.first, "in.bmp", "o.bmp"});
        Options o{0xFF, 0xFF, 0xFF, 0, 0, 0, false, 1, 1, 0, 0, answer.second};
        EXPECT_EQ(readFile(path("o.bmp")), referencePreview(input, o));
    }
}

// ---- missing input, help --------------------------------------------------

TEST_F(TessaloRun, MissingInputCreatesNothing) {
    RunResult result =
        run(tessalo, {"batch", "1", "1", "1", "0", "0", "n", "nothere.bmp", "out.bmp"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.console,
              greeting + "cannot open infile nothere.bmp: No such file or directory\r\n");
    EXPECT_TRUE(folderEntries(folder).empty());
}

// A run-length file of 4 KB claims 16777215 x 1 pixels: their rows would take
// the pass 304 MiB with a vertical factor of 4, and it is refused before the
// output is created.
TEST_F(TessaloRun, WideRunLengthPictureIsRefusedBeforeTheOutput) {
    Bytes file = bmpFile(asymmetricPicture(1, 1));
    file.resize(54);
    file = withField(withField(file, 10, 58), 18, 16777215);
    file = withField(withField(withField(file, 28, 8, 2), 30, 1), 46, 1); // RLE8, one colour
    file.insert(file.end(), {10, 20, 30, 0, 0, 1}); // the colour, then the end of the picture
    file.resize(58 + 4096, 0);
    writeFile(path("in.bmp"), withField(file, 2, std::uint32_t(file.size())));
    RunResult result = run(tessalo, {"batch", "1", "1", "4", "0", "0", "n", "in.bmp", "out.bmp"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.console, greeting + sizeLine(16777215, 1) +
                                  "infile is run-length coded and 16777215 pixels wide: working "
                                  "on it would take 304 MiB, more than the 256 MiB allowed for "
                                  "compressed pictures\r\n");
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"in.bmp"});
}

TEST_F(TessaloRun, HelpAndVersionAnswerAndEndWithStatusZero) {
    RunResult help = run(tessalo, {"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.console.find("usage: tessalo"), std::string::npos);
    EXPECT_NE(help.console.find("tessalo batch 2 4 1 2 1 y photo.bmp preview.bmp\r\n"),
              std::string::npos);
    RunResult version = run(tessalo, {"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.console.rfind("tessalo ", 0), 0u);
    EXPECT_EQ(version.console.find("\r\n"), version.console.size() - 2);
    // --help tells the banner's version from the release --version prints.
    const std::string release = version.console.substr(8, version.console.size() - 10);
    EXPECT_NE(help.console.find("\"V1\" in the banner"), std::string::npos);
    EXPECT_NE(help.console.find("--version prints, is " + release + ".\r\n"), std::string::npos);
    // Any other word 1 not starting with "--" keeps its meaning: the menu
    // and the questions.
    RunResult other = run(tessalo, {"-helpme"});
    EXPECT_EQ(other.console.substr(0, greeting.size() + menu.size()), greeting + menu);
    EXPECT_TRUE(folderEntries(folder).empty());
}

// ---- a real console ------------------------------------------------------------------------

// Runs the program on a pseudo-terminal in raw mode (no echo, no newline
// translation) with the answers typed ahead, and returns what it showed.
std::string runOnTerminal(const std::string& folder, const std::string& answers) {
    struct termios raw;
    cfmakeraw(&raw);
    int master = -1;
    std::vector<std::string> launch = programLaunch(tessalo.executable);
    std::vector<char*> argv;
    for (std::string& word : launch) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = forkpty(&master, nullptr, &raw, nullptr);
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    if (write(master, answers.data(), answers.size()) != ssize_t(answers.size())) return "";
    std::string shown;
    char buffer[4096];
    ssize_t got;
    while ((got = read(master, buffer, sizeof buffer)) > 0) shown.append(buffer, std::size_t(got));
    int status = 0;
    waitpid(child, &status, 0);
    close(master);
    return shown;
}

TEST_F(TessaloRun, ConsoleShowsQuestionMarkAfterEveryPrompt) {
    writeFile(path("in.bmp"), bmpFile(asymmetricPicture(2, 2)));
    std::string shown = runOnTerminal(folder, "8\n2\n2, 7\n4\n0\n0\nn\nin.bmp\nout.bmp\n");
    EXPECT_EQ(shown, greeting + menu + "option? \r\n" + "option? \r\n" +
                         "chroma subsampling horizontal factor (1,2,4)? \r\n" +
                         "chroma subsampling vertical factor (1,2,4)? \r\n" +
                         "luma plane dithering level (0...2)? \r\n" +
                         "chroma plane dithering level (0...2)? \r\n" +
                         "filter for V9958 DAC (RGB 555) (y/n)? \r\n" + "infile ? \r\n" +
                         "outfile ? \r\n" + sizeLine(2, 2) + progress);
    EXPECT_TRUE(fileExists(path("out.bmp")));
}

} // namespace

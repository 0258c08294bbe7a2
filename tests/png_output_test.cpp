// PNG outputs: the encoding of a program's BMP, and each program writing a
// PNG for a .png name.
#include <gtest/gtest.h>

#include <spng.h>

#include "binary_file.h"
#include "png_output.h"
#include "test_support.h"

namespace {

// The pixels of a PNG as red, green, blue, top row first, decoded by libspng.
Bytes pngPixels(const Bytes& png, std::uint32_t& width, std::uint32_t& height) {
    spng_ctx* context = spng_ctx_new(0);
    spng_set_png_buffer(context, png.data(), png.size());
    spng_ihdr ihdr{};
    EXPECT_EQ(spng_get_ihdr(context, &ihdr), 0);
    width = ihdr.width, height = ihdr.height;
    std::size_t size = 0;
    spng_decoded_image_size(context, SPNG_FMT_RGB8, &size);
    Bytes pixels(size);
    EXPECT_EQ(spng_decode_image(context, pixels.data(), size, SPNG_FMT_RGB8, 0), 0);
    spng_ctx_free(context);
    return pixels;
}

// The pixels of a test picture as red, green, blue, top row first (the
// picture's rows are stored bottom row first).
Bytes rgbTopDown(const TestPicture& picture) {
    Bytes rgb;
    for (int row = picture.height - 1; row >= 0; --row)
        for (int x = 0; x < picture.width; ++x) {
            const Bgr& p = picture.pixels[std::size_t(row) * picture.width + x];
            rgb.insert(rgb.end(), {p.red, p.green, p.blue});
        }
    return rgb;
}

TEST(PngOutput, BmpRowsBecomeTheSamePixelsTopDown) {
    for (int width : {1, 5, 6, 33}) {
        const TestPicture picture = asymmetricPicture(width, 3);
        const Bytes bmp = bmpFile(picture, 0x77);
        BinaryFile staged, output;
        ASSERT_TRUE(openUnnamedTemporary(staged));
        ASSERT_TRUE(openUnnamedTemporary(output));
        staged.put(1, bmp.data(), bmp.size());
        EXPECT_EQ(copyBmpAsPng(staged, output), "");
        Bytes png(std::size_t(output.length()));
        output.get(1, png.data(), png.size());
        std::uint32_t pngWidth = 0, pngHeight = 0;
        EXPECT_EQ(pngPixels(png, pngWidth, pngHeight), rgbTopDown(picture)) << width;
        EXPECT_EQ(pngWidth, std::uint32_t(width));
        EXPECT_EQ(pngHeight, 3u);
    }
    for (const char* name : {"a.png", "B.PNG", "x.bmp.Png"}) EXPECT_TRUE(isPngName(name)) << name;
    for (const char* name : {"png", "a.png.bmp", "a.pn"}) EXPECT_FALSE(isPngName(name)) << name;
}

// Each program's BMP output and its .png twin hold the same pixels.
TEST(PngOutput, EveryProgramWritesAPngForAPngName) {
    Scratch scratch;
    writeFile(scratch.path("in.bmp"), bmpFile(asymmetricPicture(8, 4)));
    const std::vector<std::vector<std::string>> runs = {
        {TESSALO_EXECUTABLE, "batch", "2", "4", "1", "2", "1", "y", "in.bmp"},
        {PRAVUN_EXECUTABLE, "in.bmp", "/h8"},
    };
    for (const std::vector<std::string>& words : runs) {
        std::vector<std::string> arguments(words.begin() + 1, words.end());
        for (const char* name : {"out.bmp", "out.png"}) {
            arguments.push_back(name);
            ASSERT_EQ(runProgram(words[0], arguments, "", scratch.folder).exitStatus, 0) << name;
            arguments.pop_back();
        }
        // out.bmp: 8 x 4 pixels, rows of 24 bytes with no padding, bottom row first.
        const Bytes bmp = readFile(scratch.path("out.bmp"));
        TestPicture written;
        written.width = 8, written.height = 4;
        for (std::size_t at = 54; at + 2 < bmp.size(); at += 3)
            written.pixels.push_back({bmp[at], bmp[at + 1], bmp[at + 2]});
        std::uint32_t width = 0, height = 0;
        EXPECT_EQ(pngPixels(readFile(scratch.path("out.png")), width, height),
                  rgbTopDown(written))
            << words[0];
    }
}

} // namespace

/* Writes a JPEG of four inks (the Adobe way, 255 meaning none) from a PPM
 * picture, stored as CMYK or as YCCK, for tests of JPEG readers: cyan,
 * magenta and yellow are the picture's red, green and blue, and black falls
 * from 255 at the left by up to 63. cjpeg writes neither, and ImageMagick
 * only YCCK.
 *   cc inks_writer.c -ljpeg -o inks_writer && ./inks_writer IN.ppm OUT.jpg cmyk|ycck */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>

int main(int argc, char **argv) {
    FILE *in, *out;
    unsigned width, height, maximum, x;
    unsigned char *rgb, *inks;
    struct jpeg_compress_struct info;
    struct jpeg_error_mgr errors;
    if (argc != 4 || (in = fopen(argv[1], "rb")) == NULL || (out = fopen(argv[2], "wb")) == NULL)
        return 1;
    if (fscanf(in, "P6 %u %u %u", &width, &height, &maximum) != 3 || fgetc(in) == EOF) return 1;
    rgb = malloc(3 * width);
    inks = malloc(4 * width);
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, strcmp(argv[3], "ycck") == 0 ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        if (fread(rgb, 3, width, in) != width) return 1;
        for (x = 0; x < width; ++x) {
            inks[4 * x + 0] = rgb[3 * x + 0];
            inks[4 * x + 1] = rgb[3 * x + 1];
            inks[4 * x + 2] = rgb[3 * x + 2];
            inks[4 * x + 3] = (unsigned char)(255 - (x * 63) / (width > 1 ? width - 1 : 1));
        }
        jpeg_write_scanlines(&info, &inks, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return fclose(out) != 0;
}

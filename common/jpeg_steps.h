/* The steps of decoding a JPEG picture with libjpeg, each a C function that
 * returns 0 when it worked and -1 after an error, whose text is then in the
 * decoder's message.
 *
 * libjpeg reports an error by calling its error_exit handler, which must not
 * return. Here it jumps (longjmp) back into the step that called libjpeg:
 * every frame between that step and the handler belongs to this C file or
 * to libjpeg, so the jump passes over no C++ object, whose destructor would
 * then never run. The C++ decoder (jpeg_input.cpp) only ever sees the
 * return values. Warnings of damaged data (a truncated file, a bad Huffman
 * code) are errors too: a picture is decoded whole or refused. */
#ifndef JPEG_STEPS_H
#define JPEG_STEPS_H

#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct JpegDecoder JpegDecoder;

/* What the header says, filled in by jpegReadHeader. */
typedef struct JpegHeader {
    unsigned width;
    unsigned height;
    int inks;           /* CMYK or YCCK: rows come as 4 bytes a pixel, C, M, Y, K */
    int severalScans;   /* progressive or multi-scan: all coefficients are held at once */
    int progressive;
    const unsigned char *exif; /* the first APP1 segment that starts "Exif\0\0", or NULL */
    size_t exifSize;
} JpegHeader;

/* A new decoder whose libjpeg memory for whole-picture coefficients is capped
 * at memoryCap bytes; NULL when there is no memory for it. */
JpegDecoder *jpegCreate(unsigned long memoryCap);
void jpegDestroy(JpegDecoder *decoder);

/* Reads the markers up to the first scan from source, at its current place. */
int jpegReadHeader(JpegDecoder *decoder, FILE *source, JpegHeader *header);
/* Starts the output: blue, green, red for colour and grey pictures, the four
 * inks for CMYK and YCCK ones. A picture in several scans is read whole here. */
int jpegStartOutput(JpegDecoder *decoder);
/* Decodes the next row, top-down, into row. */
int jpegReadRow(JpegDecoder *decoder, unsigned char *row);
/* Reads the rest of the file up to the end-of-image marker. */
int jpegFinish(JpegDecoder *decoder);

/* The text of the last error, and whether it was the cap on coefficients. */
const char *jpegMessage(const JpegDecoder *decoder);
int jpegOverMemoryCap(const JpegDecoder *decoder);

#ifdef __cplusplus
}
#endif

#endif

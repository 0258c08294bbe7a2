#include "jpeg_steps.h"

#include <setjmp.h>
#include <stdlib.h>
#include <string.h>

#include <jerror.h>
#include <jpeglib.h>

struct JpegDecoder {
    struct jpeg_decompress_struct info;
    struct jpeg_error_mgr errors;
    jmp_buf failed;     /* where error_exit jumps: inside the step that called libjpeg */
    int created;        /* info is set up and must be destroyed */
    int overMemoryCap;
    unsigned long memoryCap;
    char message[JMSG_LENGTH_MAX];
};

/* Keeps the message and jumps back to the step that called libjpeg. */
static void failDecoding(j_common_ptr info) {
    JpegDecoder *decoder = (JpegDecoder *)info->client_data;
    (*info->err->format_message)(info, decoder->message);
    decoder->overMemoryCap = info->err->msg_code == JERR_NO_BACKING_STORE;
    longjmp(decoder->failed, 1);
}

/* Warnings that leave the pixels as they are; any other warning reports
 * damaged data (a truncated file, bad codes), which fails the decoding. */
static int isHarmlessWarning(int code) {
    return code == JWRN_JFIF_MAJOR || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC ||
           code == JWRN_EXTRANEOUS_DATA;
}

/* Level -1 is a warning; higher levels are trace messages, never shown. */
static void onMessage(j_common_ptr info, int level) {
    if (level < 0 && !isHarmlessWarning(info->err->msg_code)) failDecoding(info);
}

static void printNothing(j_common_ptr info) { (void)info; }

JpegDecoder *jpegCreate(unsigned long memoryCap) {
    JpegDecoder *decoder = (JpegDecoder *)calloc(1, sizeof(JpegDecoder));
    if (decoder != NULL) decoder->memoryCap = memoryCap;
    return decoder;
}

void jpegDestroy(JpegDecoder *decoder) {
    if (decoder == NULL) return;
    if (decoder->created) jpeg_destroy_decompress(&decoder->info);
    free(decoder);
}

const char *jpegMessage(const JpegDecoder *decoder) { return decoder->message; }

int jpegOverMemoryCap(const JpegDecoder *decoder) { return decoder->overMemoryCap; }

/* APP1 segments are kept for their EXIF orientation; 0xFFFF is the most a
 * segment can hold. */
static void findExif(JpegDecoder *decoder, JpegHeader *header) {
    jpeg_saved_marker_ptr marker;
    for (marker = decoder->info.marker_list; marker != NULL; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
            memcmp(marker->data, "Exif\0\0", 6) == 0) {
            header->exif = marker->data;
            header->exifSize = marker->data_length;
            return;
        }
    }
}

/* The header's facts, once jpeg_read_header has read them. */
static void describe(JpegDecoder *decoder, JpegHeader *header) {
    const J_COLOR_SPACE space = decoder->info.jpeg_color_space;
    memset(header, 0, sizeof *header);
    header->width = decoder->info.image_width;
    header->height = decoder->info.image_height;
    header->inks = space == JCS_CMYK || space == JCS_YCCK;
    header->severalScans = jpeg_has_multiple_scans(&decoder->info);
    header->progressive = decoder->info.progressive_mode;
    findExif(decoder, header);
}

/* Each step sets its jump target first, with no local variable alive across
 * it, and calls libjpeg only after. */
int jpegReadHeader(JpegDecoder *decoder, FILE *source, JpegHeader *header) {
    if (setjmp(decoder->failed)) return -1;
    decoder->info.err = jpeg_std_error(&decoder->errors);
    decoder->errors.error_exit = failDecoding;
    decoder->errors.emit_message = onMessage;
    decoder->errors.output_message = printNothing;
    decoder->info.client_data = decoder;
    jpeg_create_decompress(&decoder->info);
    decoder->created = 1;
    /* Without a backing store, libjpeg refuses coefficient arrays beyond
     * this (JERR_NO_BACKING_STORE). */
    decoder->info.mem->max_memory_to_use = (long)decoder->memoryCap;
    jpeg_stdio_src(&decoder->info, source);
    jpeg_save_markers(&decoder->info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&decoder->info, TRUE);
    describe(decoder, header);
    return 0;
}

int jpegStartOutput(JpegDecoder *decoder) {
    if (setjmp(decoder->failed)) return -1;
    /* The default ISLOW transform and fancy upsampling are kept: they give
     * ImageMagick's pixels. */
    decoder->info.out_color_space =
        decoder->info.jpeg_color_space == JCS_CMYK || decoder->info.jpeg_color_space == JCS_YCCK
            ? JCS_CMYK
            : JCS_EXT_BGR;
    jpeg_start_decompress(&decoder->info);
    return 0;
}

int jpegReadRow(JpegDecoder *decoder, unsigned char *row) {
    if (setjmp(decoder->failed)) return -1;
    if (jpeg_read_scanlines(&decoder->info, &row, 1) != 1) {
        strcpy(decoder->message, "no row where one was expected");
        return -1;
    }
    return 0;
}

int jpegFinish(JpegDecoder *decoder) {
    if (setjmp(decoder->failed)) return -1;
    jpeg_finish_decompress(&decoder->info);
    return 0;
}

/* Smoke test of the static Windows build of libgd and its codecs.
 *
 *   gd_smoke OUT.png [FONT.ttf]
 *
 * Draws a small true-colour image, writes it as PNG to OUT.png, reads the
 * PNG back and compares pixels, sends the image through the JPEG codec, and,
 * given a TrueType font, measures and draws a string with FreeType.
 * Prints "GD_SMOKE_OK" and returns 0 when every check passes.
 */
#include <gd.h>
#include <stdio.h>
#include <stdlib.h>

static int failures = 0;

static void check(int ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "FAIL: %s\n", what);
        failures++;
    }
}

static gdImagePtr draw_sample(void)
{
    gdImagePtr im = gdImageCreateTrueColor(64, 48);
    if (im == NULL)
        return NULL;
    gdImageFilledRectangle(im, 0, 0, 63, 47, gdTrueColor(255, 255, 255));
    gdImageFilledRectangle(im, 4, 4, 27, 43, gdTrueColor(200, 30, 40));
    gdImageLine(im, 0, 47, 63, 0, gdTrueColor(0, 0, 255));
    gdImageFilledEllipse(im, 46, 24, 24, 24, gdTrueColor(20, 160, 60));
    return im;
}

static int write_file(const char *path, const void *data, int size)
{
    FILE *f = fopen(path, "wb");
    if (f == NULL)
        return 0;
    int ok = fwrite(data, 1, (size_t)size, f) == (size_t)size;
    return fclose(f) == 0 && ok;
}

static void check_png(gdImagePtr im, const char *path)
{
    int size = 0;
    void *png = gdImagePngPtr(im, &size);
    check(png != NULL && size > 8, "PNG encoding");
    if (png == NULL)
        return;
    check(write_file(path, png, size), "writing the PNG file");

    gdImagePtr back = gdImageCreateFromPngPtr(size, png);
    check(back != NULL, "PNG decoding");
    if (back != NULL) {
        check(gdImageSX(back) == 64 && gdImageSY(back) == 48, "PNG size");
        check(gdImageGetTrueColorPixel(back, 10, 10) == gdTrueColor(200, 30, 40),
              "PNG pixel in the red rectangle");
        check(gdImageGetTrueColorPixel(back, 46, 24) == gdTrueColor(20, 160, 60),
              "PNG pixel in the green disc");
        gdImageDestroy(back);
    }
    gdFree(png);
}

static void check_jpeg(gdImagePtr im)
{
    int size = 0;
    void *jpeg = gdImageJpegPtr(im, &size, 90);
    check(jpeg != NULL && size > 2, "JPEG encoding");
    if (jpeg == NULL)
        return;
    gdImagePtr back = gdImageCreateFromJpegPtr(size, jpeg);
    check(back != NULL, "JPEG decoding");
    if (back != NULL) {
        check(gdImageSX(back) == 64 && gdImageSY(back) == 48, "JPEG size");
        int c = gdImageGetTrueColorPixel(back, 10, 10);
        check(abs(gdTrueColorGetRed(c) - 200) < 16 && gdTrueColorGetGreen(c) < 60,
              "JPEG pixel in the red rectangle");
        gdImageDestroy(back);
    }
    gdFree(jpeg);
}

static void check_freetype(gdImagePtr im, char *font)
{
    int brect[8] = {0};
    char text[] = "Morphel";
    char *err = gdImageStringFT(NULL, brect, 0, font, 14.0, 0.0, 2, 46, text);
    check(err == NULL, "FreeType bounding box");
    if (err != NULL) {
        fprintf(stderr, "  gdImageStringFT: %s\n", err);
        return;
    }
    check(brect[2] - brect[0] > 20 && brect[1] - brect[5] > 5, "FreeType text extent");
    err = gdImageStringFT(im, brect, gdTrueColor(0, 0, 0), font, 14.0, 0.0, 2, 46, text);
    check(err == NULL, "FreeType drawing");
    printf("text box %d,%d - %d,%d\n", brect[6], brect[7], brect[2], brect[3]);
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: gd_smoke OUT.png [FONT.ttf]\n");
        return 2;
    }
    printf("libgd %s\n", GD_VERSION_STRING);
    gdImagePtr im = draw_sample();
    check(im != NULL, "image creation");
    if (im == NULL)
        return 1;
    check_jpeg(im);
    if (argc > 2)
        check_freetype(im, argv[2]);
    check_png(im, argv[1]);
    gdImageDestroy(im);
    if (failures != 0) {
        printf("GD_SMOKE_FAILED %d\n", failures);
        return 1;
    }
    printf("GD_SMOKE_OK\n");
    return 0;
}

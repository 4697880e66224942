/* snapshot: one colour frame from the camera into a PNG file.
 *
 *   snapshot [FILE.png [WIDTH HEIGHT]]
 *
 * Three things to get right: 32 bits a pixel for a colour picture (the default 24 bits is a
 * false-colour map of the raw sensor samples), bottomUp = 1 for the top row first, and a
 * buffer of stride x height bytes, the stride being the row's bytes rounded up to 4. A size
 * other than 1280 x 1024 is set with Orvex_SetCaptureWindowEx as a window in the middle of the
 * sensor (Orvex_SetCaptureWindow takes only sizes listed in the stored size table). */
#include <OrvexSdk_QX218.h>
#include <orvex/errors.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>

/* Prints why the last call failed; a failure with nothing recorded is said as such. */
static int report(CameraHandle camera, const char* what) {
  const int32_t code = Orvex_GetLastError(camera);
  fprintf(stderr, "snapshot: %s failed: %s (%d): %s\n", what, OrvexError_Name(code), (int)code,
          code != 0 ? OrvexError_Text(code) : "no frame arrived; is the camera plugged in?");
  return 1;
}

/* Writes rows of blue, green, red, spare bytes (top row first) as an 8-bit RGB PNG. */
static int write_png(const char* path, const uint8_t* pixels, int32_t width, int32_t height,
                     int32_t stride) {
  FILE* file = fopen(path, "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png ? png_create_info_struct(png) : NULL;
  uint8_t* row = malloc((size_t)width * 3);
  int ok = 0;
  if (file != NULL && info != NULL && row != NULL && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* from = pixels + (size_t)y * (size_t)stride;
      for (int32_t x = 0; x < width; ++x) { /* BGRX -> RGB */
        row[3 * x] = from[4 * x + 2];
        row[3 * x + 1] = from[4 * x + 1];
        row[3 * x + 2] = from[4 * x];
      }
      png_write_row(png, row);
    }
    png_write_end(png, NULL);
    ok = 1;
  }
  png_destroy_write_struct(&png, &info);
  free(row);
  if (file != NULL && fclose(file) != 0) ok = 0;
  return ok;
}

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : "snapshot.png";
  const int32_t width = argc > 3 ? atoi(argv[2]) : 1280;
  const int32_t height = argc > 3 ? atoi(argv[3]) : 1024;
  int status = 1;

  /* No window for error messages: this program asks Orvex_GetLastError instead. */
  const CameraHandle camera = Orvex_Initialize(0);
  if (camera == 0) return 1;

  /* The picture is samples 39..1318 of lines 0..1023; centre the window on it, keeping even
     offsets so that the colour filter's pattern starts the same way. */
  const int32_t left = 39 + (1280 - width) / 4 * 2, top = (1024 - height) / 4 * 2;
  if (!Orvex_SetColorMode(camera, 32)) {
    status = report(camera, "Orvex_SetColorMode");
  } else if (!Orvex_SetCaptureWindowEx(camera, 1320, left, width, 1024, top, height)) {
    status = report(camera, "Orvex_SetCaptureWindowEx");
  } else {
    const int32_t stride = (width * 4 + 3) / 4 * 4;
    const int32_t size = stride * height;
    uint8_t* pixels = malloc((size_t)size);
    /* bottomUp = 1: the camera's first line, the top of the picture, comes first. */
    if (pixels == NULL) {
      fprintf(stderr, "snapshot: no memory\n");
    } else if (!Orvex_SnapShot(camera, pixels, size, 1)) {
      status = report(camera, "Orvex_SnapShot");
    } else if (!write_png(path, pixels, width, height, stride)) {
      fprintf(stderr, "snapshot: cannot write %s\n", path);
    } else {
      printf("%s: %d x %d\n", path, (int)width, (int)height);
      status = 0;
    }
    free(pixels);
  }
  Orvex_Release(camera); /* also saves this user's settings */
  return status;
}

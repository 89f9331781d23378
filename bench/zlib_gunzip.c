/* The whole-process peer of kz6 gunzip: reads IN in one piece, inflates its gzip member with
   zlib into a 32 KiB buffer and writes each piece to OUT ("wb+"), as kz6 gunzip writes each
   window. Usage: zlib_gunzip IN OUT */
#include <stdio.h>
#include <stdlib.h>
#include <zlib.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  FILE* in = fopen(argv[1], "rb");
  if (in == NULL) return 2;
  fseek(in, 0, SEEK_END);
  const long size = ftell(in);
  fseek(in, 0, SEEK_SET);
  unsigned char* body = malloc(size > 0 ? (size_t)size : 1);
  if (body == NULL || fread(body, 1, (size_t)size, in) != (size_t)size) return 2;
  fclose(in);
  FILE* out = fopen(argv[2], "wb+");
  if (out == NULL) return 2;
  static unsigned char window[32768];
  z_stream s = {0};
  if (inflateInit2(&s, 16 + 15) != Z_OK) return 1;
  s.next_in = body;
  s.avail_in = (uInt)size;
  int r = Z_OK;
  while (r == Z_OK) {
    s.next_out = window;
    s.avail_out = sizeof window;
    r = inflate(&s, Z_NO_FLUSH);
    const size_t n = sizeof window - s.avail_out;
    if (n != 0 && fwrite(window, 1, n, out) != n) return 1;
  }
  inflateEnd(&s);
  free(body);
  if (fclose(out) != 0 || r != Z_STREAM_END) return 1;
  return 0;
}

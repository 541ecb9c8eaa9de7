#pragma once
// The board's JPEG writer: one NV12 picture to a JPEG file. On the PC it is
// built on libjpeg-turbo; a board build links the device library instead.

extern "C" {

// Writes the NV12 picture at `nv12` (width x height luma bytes, then the
// interleaved Cb/Cr plane, both tightly packed) to `path` as a 4:2:0 JPEG of
// the given quality (clamped to 1..100). The path is used as given.
// Returns 0, or -1 with one line on standard error (nothing is left at the
// path when the file could not be written completely).
int jpeg_enc(const void* nv12, const char* path, int width, int height, int quality);

}  // extern "C"

#pragma once
// Frame operations of the capture path that run on the accelerator.

// Converts a YUYV image at src (srcWidth x srcHeight) into NV12 at dst
// (dstWidth x dstHeight), scaling when the sizes differ. 0 on success; -1 and
// "rga_cvtcolor: rga fail" on failure.
int rga_cvtcolor(void* src, int srcWidth, int srcHeight, void* dst, int dstWidth, int dstHeight);

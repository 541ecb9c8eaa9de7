#pragma once
// Threefold super-resolution of the 256 x 192 luma plane on the NPU.
#include <cstdint>

#include "platform/npu/rknn_api.h"

struct sr_rknn {
  rknn_context ctx;
  rknn_tensor_mem* inputMem;  // bound to input 0; frames are packed into it
  rknn_tensor_attr inAttr;
  rknn_tensor_attr outAttr;
  int inWidth, inHeight, inStride;
  int outWidth, outHeight;
  bool wantFloat;       // output is neither INT8 nor UINT8
  bool inputNeedsSync;  // input memory is cacheable
  uint8_t lut[256];     // output code (as a byte) to luma
  bool lutIsSignFlip;   // lut[i] == i ^ 0x80 for every i
  float lastNpuMs;
  float lastTotalMs;
};

// Loads the model (size bytes at model) and binds the input memory; null with
// one line on standard error if anything fails.
sr_rknn* sr_rknn_create(const void* model, uint32_t size);

// Enlarges the 256 x 192 luma plane at src into the luma plane of the
// 768 x 576 NV12 frame at dst (its chroma is left alone). 0 on success, -1
// for a null argument, the runtime's negative code if running fails.
int sr_rknn_run(sr_rknn* ctx, const uint8_t* src, uint8_t* dst);

void sr_rknn_destroy(sr_rknn* ctx);

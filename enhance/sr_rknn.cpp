#include "enhance/sr_rknn.h"

#include <sys/time.h>

#include <cstdlib>
#include <cstring>

#include "platform/diag.h"

namespace {

constexpr int kSrWidth = 768;
constexpr int kSrHeight = 576;
constexpr int kSrPixels = kSrWidth * kSrHeight;
constexpr int kSensorWidth = 256;
constexpr int kSensorHeight = 192;

double nowMs() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  return tv.tv_sec * 1000.0 + tv.tv_usec / 1000.0;
}

const char* typeName(int type) {
  static const char* const names[] = {"FP32",  "FP16",   "INT8",  "UINT8", "INT16", "UINT16",
                                      "INT32", "UINT32", "INT64", "BOOL",  "INT4",  "BF16"};
  return type >= 0 && type < 12 ? names[type] : "UNKNOW";
}

void geometry(const rknn_tensor_attr& a, int* w, int* h) {
  if (a.fmt == RKNN_TENSOR_NHWC) {
    *h = static_cast<int>(a.dims[1]);
    *w = static_cast<int>(a.dims[2]);
  } else {
    *h = static_cast<int>(a.dims[2]);
    *w = static_cast<int>(a.dims[3]);
  }
}

uint8_t toLuma(float v) {
  if (v < 0) return 0;
  if (v > 1) return 255;
  return static_cast<uint8_t>(static_cast<int>(v * 255.0f + 0.5f));
}

sr_rknn* fail(sr_rknn* c) {
  if (c->inputMem) rknn_destroy_mem(c->ctx, c->inputMem);
  if (c->ctx) rknn_destroy(c->ctx);
  std::free(c);
  return nullptr;
}

}  // namespace

sr_rknn* sr_rknn_create(const void* model, uint32_t size) {
  if (!model) return nullptr;
  sr_rknn* c = static_cast<sr_rknn*>(std::calloc(1, sizeof(sr_rknn)));
  if (!c) return nullptr;
  int ret = rknn_init(&c->ctx, const_cast<void*>(model), size, 0, nullptr);
  if (ret < 0) {
    diag::err("sr_rknn_create: rknn_init failed %d\n", ret);
    c->ctx = 0;
    return fail(c);
  }
  c->inAttr.index = 0;
  ret = rknn_query(c->ctx, RKNN_QUERY_NATIVE_INPUT_ATTR, &c->inAttr, sizeof c->inAttr);
  if (ret < 0) {
    std::memset(&c->inAttr, 0, sizeof c->inAttr);
    ret = rknn_query(c->ctx, RKNN_QUERY_INPUT_ATTR, &c->inAttr, sizeof c->inAttr);
  }
  if (ret < 0) {
    diag::err("sr_rknn_create: query input attr failed %d\n", ret);
    return fail(c);
  }
  c->outAttr.index = 0;
  ret = rknn_query(c->ctx, RKNN_QUERY_OUTPUT_ATTR, &c->outAttr, sizeof c->outAttr);
  if (ret < 0) {
    diag::err("sr_rknn_create: query output attr failed %d\n", ret);
    return fail(c);
  }
  geometry(c->inAttr, &c->inWidth, &c->inHeight);
  c->inStride = c->inAttr.w_stride > 0 ? static_cast<int>(c->inAttr.w_stride) : c->inWidth;
  geometry(c->outAttr, &c->outWidth, &c->outHeight);
  if (c->outWidth < 1 || c->outHeight < 1) {
    c->outWidth = kSrWidth;
    c->outHeight = kSrHeight;
  }
  // Frames are always sensor-sized: a model that wants another input would
  // be fed from outside the frame.
  if (c->inWidth != kSensorWidth || c->inHeight != kSensorHeight || c->inStride < c->inWidth) {
    diag::warning(diag::kNpu, "sr_rknn: model input %dx%d stride %d, not the sensor frame", c->inWidth,
               c->inHeight, c->inStride);
    return fail(c);
  }
  const int type = c->outAttr.type;
  c->wantFloat = type != RKNN_TENSOR_INT8 && type != RKNN_TENSOR_UINT8;
  c->lutIsSignFlip = true;
  for (int i = 0; i < 256; ++i) {
    const float v = static_cast<float>(static_cast<int8_t>(i) - c->outAttr.zp) * c->outAttr.scale;
    c->lut[i] = toLuma(v);
    c->lutIsSignFlip = c->lutIsSignFlip && c->lut[i] == (i ^ 0x80);
  }
  uint32_t bytes = c->inAttr.size_with_stride;
  if (bytes == 0) bytes = c->inAttr.size;
  if (bytes == 0) bytes = kSensorWidth * kSensorHeight;
  c->inputMem = rknn_create_mem2(c->ctx, bytes, RKNN_FLAG_MEMORY_NON_CACHEABLE);
  if (!c->inputMem) {
    c->inputMem = rknn_create_mem(c->ctx, bytes);
    c->inputNeedsSync = true;
  }
  if (!c->inputMem) {
    diag::err("sr_rknn_create: create input mem failed\n");
    return fail(c);
  }
  if (c->inputMem->size < static_cast<uint32_t>(c->inStride) * c->inHeight) {
    diag::err("sr_rknn_create: create input mem failed\n");
    return fail(c);
  }
  ret = rknn_set_io_mem(c->ctx, c->inputMem, &c->inAttr);
  if (ret < 0) {
    diag::err("sr_rknn_create: rknn_set_io_mem input failed %d\n", ret);
    return fail(c);
  }
  if (std::getenv("SR_RKNN_PROFILE"))
    diag::err("sr_rknn: in=%dx%d stride=%d out=%dx%d type=%s zp=%d scale=%f\n", c->inWidth,
              c->inHeight, c->inStride, c->outWidth, c->outHeight, typeName(type), c->outAttr.zp,
              c->outAttr.scale);
  return c;
}

int sr_rknn_run(sr_rknn* ctx, const uint8_t* src, uint8_t* dst) {
  if (!ctx || !src || !dst) return -1;
  const bool profile = std::getenv("SR_RKNN_PROFILE") != nullptr;
  const double t0 = profile ? nowMs() : 0;

  uint8_t* in = static_cast<uint8_t*>(ctx->inputMem->virt_addr);
  for (int y = 0; y < ctx->inHeight; ++y) {
    const uint8_t* s = src + static_cast<long>(y) * ctx->inWidth;
    uint8_t* d = in + static_cast<long>(y) * ctx->inStride;
    // luma - 128 as a signed byte is the luma with its top bit flipped
    for (int x = 0; x < ctx->inWidth; ++x) d[x] = static_cast<uint8_t>(s[x] ^ 0x80);
  }
  const double t1 = profile ? nowMs() : 0;
  if (ctx->inputNeedsSync) rknn_mem_sync(ctx->ctx, ctx->inputMem, RKNN_MEMORY_SYNC_TO_DEVICE);
  const double t2 = profile ? nowMs() : 0;

  const double runStart = nowMs();
  int ret = rknn_run(ctx->ctx, nullptr);
  if (ret < 0) return ret;
  const double t3 = nowMs();
  rknn_perf_run perf;
  if (rknn_query(ctx->ctx, RKNN_QUERY_PERF_RUN, &perf, sizeof perf) == 0)
    ctx->lastNpuMs = static_cast<float>(perf.run_duration / 1000.0);
  else
    ctx->lastNpuMs = static_cast<float>(t3 - runStart);

  rknn_output out;
  std::memset(&out, 0, sizeof out);
  out.index = 0;
  out.want_float = ctx->wantFloat;
  ret = rknn_outputs_get(ctx->ctx, 1, &out, nullptr);
  if (ret < 0) return ret;
  const double t4 = profile ? nowMs() : 0;

  // Never read past what the runtime handed back, whatever it claims.
  const size_t elem = ctx->wantFloat ? sizeof(float) : 1;
  const size_t n =
      out.buf ? (out.size / elem < size_t(kSrPixels) ? out.size / elem : kSrPixels) : 0;
  const int type = ctx->outAttr.type;
  if (n > 0 && !ctx->wantFloat && type == RKNN_TENSOR_INT8) {
    const uint8_t* raw = static_cast<const uint8_t*>(out.buf);
    if (ctx->lutIsSignFlip) {
      for (size_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(raw[i] ^ 0x80);
    } else {
      for (size_t i = 0; i < n; ++i) dst[i] = ctx->lut[raw[i]];
    }
  } else if (n > 0 && ctx->wantFloat) {
    const float* v = static_cast<const float*>(out.buf);
    for (size_t i = 0; i < n; ++i) dst[i] = toLuma(v[i]);
  } else if (n > 0) {
    const uint8_t* raw = static_cast<const uint8_t*>(out.buf);
    for (size_t i = 0; i < n; ++i)
      dst[i] = toLuma(static_cast<float>(raw[i] - ctx->outAttr.zp) * ctx->outAttr.scale);
  }
  const double t5 = profile ? nowMs() : 0;
  rknn_outputs_release(ctx->ctx, 1, &out);
  if (profile) {
    const double t6 = nowMs();
    ctx->lastTotalMs = static_cast<float>(t6 - t0);
    diag::err(
        "sr_rknn: pack %.2f sync_in %.2f run %.2f (npu %.2f) get_out %.2f conv %.2f "
        "total %.2f ms\n",
        t1 - t0, t2 - t1, t3 - t2, ctx->lastNpuMs, t4 - t3, t5 - t4, ctx->lastTotalMs);
  }
  return 0;
}

void sr_rknn_destroy(sr_rknn* ctx) {
  if (!ctx) return;
  if (ctx->inputMem) rknn_destroy_mem(ctx->ctx, ctx->inputMem);
  rknn_destroy(ctx->ctx);
  std::free(ctx);
}

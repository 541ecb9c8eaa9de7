#pragma once
// The software NPU runtime's model format. All numbers little-endian.
//
//   Header      magic "HLNM", version 1, total size in bytes, CRC-32 (zlib
//               polynomial) of every byte after the header, layer count
//   Tensor x 2  input, then output: name, NCHW dims, element type, zero
//               point, scale, the layout of the memory bound to it
//   Layers      one LayerHeader each, followed by its float32 weights
//
// A convolution carries out x in x k x k weights (row-major: output channel,
// input channel, kernel row, kernel column) and then out biases. Its padding
// keeps the size (k odd, k / 2 on each side), replicating edge pixels or
// reading zeros. Depth-to-space by b turns channel (i * b + j) of pixel
// (y, x) into pixel (y * b + i, x * b + j) of one channel.
#include <cstdint>

namespace hlnm {

constexpr char kMagic[4] = {'H', 'L', 'N', 'M'};
constexpr uint32_t kVersion = 1;

enum LayerKind : uint32_t {
  kConv2d = 1,
  kTanh = 2,
  kDepthToSpace = 3,
  kClip = 4,
};

enum Padding : uint32_t { kPadZero = 0, kPadReplicate = 1 };

#pragma pack(push, 1)
struct Header {
  char magic[4];
  uint32_t version;
  uint32_t totalSize;
  uint32_t crc32;  // of bytes [sizeof(Header), totalSize)
  uint32_t layerCount;
  uint32_t reserved[3];
};

struct Tensor {
  char name[32];
  uint32_t dims[4];  // N, C, H, W
  uint32_t type;     // rknn_tensor_type
  int32_t zeroPoint;
  float scale;
  uint32_t layout;  // rknn_tensor_format of the bound memory
};

struct LayerHeader {
  uint32_t kind;
  char name[16];
  uint32_t param[4];  // conv: in, out, kernel, padding; depth-to-space: block
  float value[2];     // clip: low, high
  uint32_t weightCount;
};
#pragma pack(pop)

static_assert(sizeof(Header) == 32, "header layout");
static_assert(sizeof(Tensor) == 64, "tensor layout");
static_assert(sizeof(LayerHeader) == 48, "layer layout");

// CRC-32 as zlib computes it.
inline uint32_t crc32(const uint8_t* p, uint64_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (uint64_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

}  // namespace hlnm

#include "enhance/palette.h"

#include <array>
#include <cstring>

namespace {

#include "enhance/palette_tables.inc"

// Cb and Cr of one entry as the two bytes of a CbCr pair in memory order,
// so a block costs one lookup and one 16-bit store.
using PairTable = std::array<uint16_t, 256>;

PairTable pack(const int32_t (&cb)[256], const int32_t (&cr)[256]) {
  PairTable t{};
  for (int i = 0; i < 256; ++i) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(cb[i]), static_cast<uint8_t>(cr[i])};
    std::memcpy(&t[i], bytes, 2);
  }
  return t;
}

const PairTable kPairs0 = pack(kTable0Cb, kTable0Cr);
const PairTable kPairs3 = pack(kTable3Cb, kTable3Cr);
const PairTable kPairs4 = pack(kTable4Cb, kTable4Cr);

const PairTable* pairsFor(int mode) {
  switch (mode) {
    case 0:
      return &kPairs0;
    case 3:
      return &kPairs3;
    case 4:
      return &kPairs4;
    default:
      return nullptr;
  }
}

void colour(const uint8_t* luma, uint8_t* chroma, int width, int height, const PairTable& t) {
  const int pairs = width / 2;
  for (int y = 0; y < height; y += 2) {
    const uint8_t* row = luma + static_cast<long>(y) * width;
    uint8_t* out = chroma + static_cast<long>(y / 2) * width;
    for (int x = 0; x < pairs; ++x) {
      const uint16_t v = t[row[2 * x]];
      std::memcpy(out + 2 * x, &v, 2);
    }
  }
}

}  // namespace

bool PaletteChroma(int mode, int luma, uint8_t* cb, uint8_t* cr) {
  const PairTable* t = pairsFor(mode);
  if (!t || luma < 0 || luma > 255) return false;
  uint8_t bytes[2];
  std::memcpy(bytes, &(*t)[luma], 2);
  if (cb) *cb = bytes[0];
  if (cr) *cr = bytes[1];
  return true;
}

int ApplyPalette(unsigned char* frame, int width, int height, int mode) {
  if (static_cast<unsigned>(mode) >= kPaletteModeCount || !frame || width < 1 || height < 1 ||
      (width | height) & 1)
    return 0;
  const long n = static_cast<long>(width) * height;
  uint8_t* chroma = frame + n;
  if (mode == 1 || mode == 2) {
    if (mode == 2)
      for (long i = 0; i < n; ++i) frame[i] = static_cast<uint8_t>(255 - frame[i]);
    std::memset(chroma, 128, static_cast<size_t>(n / 2));
    return 0;
  }
  colour(frame, chroma, width, height, *pairsFor(mode));
  return 0;
}

// Each per-frame pixel stage at the sizes the live picture uses, next to the
// code an engineer would otherwise write with OpenCV for the same job. Pairs
// share a name up to the last part (Ours / OpenCV...), so each reads as a
// ratio. OpenCV runs on one thread like the capture worker does; set
// HEATLUME_BENCH_CV_THREADS to give it more.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "enhance/sr_dde.h"
#include "enhance/sr_model.h"
#include "enhance/sr_rknn.h"
#include "enhance/palette.h"
#include "platform/rga/rga.h"
#include "platform/rga/rga_ops.h"

namespace {

std::vector<uint8_t> noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// A thermal-looking luma plane: smooth blobs with sensor noise.
std::vector<uint8_t> scene(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> n(0, 3);
  std::vector<uint8_t> v(size_t(w) * h * 3 / 2, 128);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double a = 90 + 60 * std::sin(x * 0.05) * std::cos(y * 0.07) + n(rng);
      v[size_t(y) * w + x] = static_cast<uint8_t>(std::min(255.0, std::max(0.0, a)));
    }
  return v;
}

rga_info_t info(void* p, int w, int h, int format, int x = 0, int y = 0, int cw = 0, int ch = 0) {
  rga_info_t i;
  std::memset(&i, 0, sizeof i);
  i.fd = -1;
  i.virAddr = p;
  i.mmuFlag = 1;
  rga_set_rect(&i.rect, x, y, cw ? cw : w, ch ? ch : h, w, h, format);
  return i;
}

// ---- colour conversion, sensor size --------------------------------------

void Cvtcolor_Ours(benchmark::State& st) {
  std::vector<uint8_t> yuyv = noise(256 * 192 * 2, 1), nv12(256 * 192 * 3 / 2);
  for (auto _ : st) {
    rga_cvtcolor(yuyv.data(), 256, 192, nv12.data(), 256, 192);
    benchmark::DoNotOptimize(nv12.data());
  }
}

// Luma is every other byte; the chroma bytes, read as CbCr pairs at half
// width, are averaged over line pairs.
void Cvtcolor_OpenCV(benchmark::State& st) {
  std::vector<uint8_t> yuyv = noise(256 * 192 * 2, 1), nv12(256 * 192 * 3 / 2);
  cv::Mat src(192, 256, CV_8UC2, yuyv.data());
  cv::Mat y(192, 256, CV_8UC1, nv12.data());
  cv::Mat uv(96, 128, CV_8UC2, nv12.data() + 256 * 192);
  cv::Mat chroma(192, 256, CV_8UC1);
  for (auto _ : st) {
    cv::extractChannel(src, y, 0);
    cv::extractChannel(src, chroma, 1);
    cv::resize(cv::Mat(192, 128, CV_8UC2, chroma.data), uv, uv.size(), 0, 0, cv::INTER_AREA);
    benchmark::DoNotOptimize(nv12.data());
  }
}

// ---- detail enhancement -----------------------------------------------------

void Dde_Ours(benchmark::State& st) {
  const std::vector<uint8_t> in = scene(256, 192, 2);
  std::vector<uint8_t> f = in;
  sr_dde* c = sr_dde_create(256, 192);
  sr_dde_set_params(c, 1.8f, 1.5f);
  sr_dde_set_threshold(c, 1);
  for (auto _ : st) {
    std::memcpy(f.data(), in.data(), 256 * 192);
    sr_dde_process(c, f.data(), 256, 192);
    benchmark::DoNotOptimize(f.data());
  }
  sr_dde_destroy(c);
}

// The same arithmetic from OpenCV building blocks: two box sums with edge
// replication, rounded means, cored and amplified detail, mean restored.
void Dde_OpenCV(benchmark::State& st) {
  const std::vector<uint8_t> in = scene(256, 192, 2);
  std::vector<uint8_t> f = in;
  const int r = 2, win = 2 * r + 1, g = 461, t = 1;
  cv::Mat luma(192, 256, CV_8UC1, f.data());
  cv::Mat rows, base, p32, d, ad, excess, neg, v, out32, out8;
  for (auto _ : st) {
    std::memcpy(f.data(), in.data(), 256 * 192);
    cv::boxFilter(luma, rows, CV_16U, cv::Size(win, 1), cv::Point(-1, -1), false,
                  cv::BORDER_REPLICATE);
    rows.convertTo(rows, CV_16U, 1.0 / win, double(r) / win);
    cv::boxFilter(rows, base, CV_32S, cv::Size(1, win), cv::Point(-1, -1), false,
                  cv::BORDER_REPLICATE);
    base.convertTo(base, CV_32S, 1.0 / win, double(r) / win);
    luma.convertTo(p32, CV_32S);
    cv::subtract(p32, base, d);
    ad = cv::abs(d);
    cv::subtract(ad, cv::Scalar(t), excess);
    cv::max(excess, 0, excess);
    cv::compare(d, 0, neg, cv::CMP_LT);
    excess.copyTo(v);
    cv::subtract(cv::Scalar(0), excess, v, neg);
    v.convertTo(v, CV_32S, g / 256.0, 0.5);
    cv::add(p32, v, out32);
    out32.convertTo(out8, CV_8U);
    const double offset = (cv::sum(luma)[0] - cv::sum(out8)[0]) / luma.total();
    out8.convertTo(luma, CV_8U, 1.0, std::trunc(offset));
    benchmark::DoNotOptimize(f.data());
  }
}

// ---- super-resolution --------------------------------------------------------

void Sr_Ours(benchmark::State& st) {
  const std::vector<uint8_t> in = scene(256, 192, 3);
  std::vector<uint8_t> out(768 * 576 * 3 / 2);
  sr_rknn* c = sr_rknn_create(sr_model_data(), sr_model_size());
  if (!c) {
    st.SkipWithError("model refused");
    return;
  }
  for (auto _ : st) {
    sr_rknn_run(c, in.data(), out.data());
    benchmark::DoNotOptimize(out.data());
  }
  sr_rknn_destroy(c);
}

void SrResize(benchmark::State& st, int interpolation) {
  std::vector<uint8_t> in = scene(256, 192, 3), out(768 * 576 * 3 / 2);
  cv::Mat src(192, 256, CV_8UC1, in.data()), dst(576, 768, CV_8UC1, out.data());
  for (auto _ : st) {
    cv::resize(src, dst, dst.size(), 0, 0, interpolation);
    benchmark::DoNotOptimize(out.data());
  }
}
void Sr_OpenCVLanczos4(benchmark::State& st) { SrResize(st, cv::INTER_LANCZOS4); }
void Sr_OpenCVCubic(benchmark::State& st) { SrResize(st, cv::INTER_CUBIC); }

// ---- palette -----------------------------------------------------------------

void Palette_Ours(benchmark::State& st) {
  const int w = int(st.range(0)), h = int(st.range(1));
  std::vector<uint8_t> f = scene(w, h, 4);
  for (auto _ : st) {
    ApplyPalette(f.data(), w, h, 0);
    benchmark::DoNotOptimize(f.data());
  }
}

// Top-left pixel of every block, doubled into two channels, looked up in a
// two-channel table straight into the CbCr plane.
void Palette_OpenCV(benchmark::State& st) {
  const int w = int(st.range(0)), h = int(st.range(1));
  std::vector<uint8_t> f = scene(w, h, 4);
  cv::Mat lut(1, 256, CV_8UC2);
  for (int i = 0; i < 256; ++i) {
    uint8_t cb, cr;
    PaletteChroma(0, i, &cb, &cr);
    lut.at<cv::Vec2b>(0, i) = cv::Vec2b(cb, cr);
  }
  cv::Mat luma(h, w, CV_8UC1, f.data()), uv(h / 2, w / 2, CV_8UC2, f.data() + w * h);
  cv::Mat small, pairs;
  for (auto _ : st) {
    cv::resize(luma, small, cv::Size(w / 2, h / 2), 0, 0, cv::INTER_NEAREST);
    cv::Mat both[2] = {small, small};
    cv::merge(both, 2, pairs);
    cv::LUT(pairs, lut, uv);
    benchmark::DoNotOptimize(f.data());
  }
}

// ---- display blit: centred crop, quarter turn, scale to the panel -------------

void Display_Ours(benchmark::State& st) {
  const int w = int(st.range(0)), h = int(st.range(1)), cw = int(st.range(2));
  std::vector<uint8_t> f = scene(w, h, 5), panel(320 * 360 * 3 / 2);
  for (auto _ : st) {
    rga_info_t s = info(f.data(), w, h, RK_FORMAT_YCbCr_420_SP, (w - cw) / 2, 0, cw, h);
    rga_info_t d = info(panel.data(), 320, 360, RK_FORMAT_YCbCr_420_SP);
    s.rotation = HAL_TRANSFORM_ROT_90;
    c_RkRgaBlit(&s, &d, nullptr);
    benchmark::DoNotOptimize(panel.data());
  }
}

void Display_OpenCV(benchmark::State& st) {
  const int w = int(st.range(0)), h = int(st.range(1)), cw = int(st.range(2));
  std::vector<uint8_t> f = scene(w, h, 5), panel(320 * 360 * 3 / 2);
  cv::Mat y(h, w, CV_8UC1, f.data()), uv(h / 2, w / 2, CV_8UC2, f.data() + w * h);
  cv::Mat py(360, 320, CV_8UC1, panel.data()), puv(180, 160, CV_8UC2, panel.data() + 320 * 360);
  const int interpolation = cw > 360 ? cv::INTER_AREA : cv::INTER_LINEAR;
  cv::Mat ty, tuv;
  for (auto _ : st) {
    cv::rotate(y(cv::Rect((w - cw) / 2, 0, cw, h)), ty, cv::ROTATE_90_CLOCKWISE);
    cv::resize(ty, py, py.size(), 0, 0, interpolation);
    cv::rotate(uv(cv::Rect((w - cw) / 4, 0, cw / 2, h / 2)), tuv, cv::ROTATE_90_CLOCKWISE);
    cv::resize(tuv, puv, puv.size(), 0, 0, interpolation);
    benchmark::DoNotOptimize(panel.data());
  }
}

// ---- copy back of the panel for recordings (NV12) and photos (RGB) ------------

void CopyBackNv12_Ours(benchmark::State& st) {
  std::vector<uint8_t> panel = scene(320, 360, 6), out(360 * 320 * 3 / 2);
  for (auto _ : st) {
    rga_info_t s = info(panel.data(), 320, 360, RK_FORMAT_YCbCr_420_SP);
    rga_info_t d = info(out.data(), 360, 320, RK_FORMAT_YCbCr_420_SP);
    s.rotation = HAL_TRANSFORM_ROT_270;
    c_RkRgaBlit(&s, &d, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
}

void CopyBackNv12_OpenCV(benchmark::State& st) {
  std::vector<uint8_t> panel = scene(320, 360, 6), out(360 * 320 * 3 / 2);
  cv::Mat y(360, 320, CV_8UC1, panel.data()), uv(180, 160, CV_8UC2, panel.data() + 320 * 360);
  cv::Mat oy(320, 360, CV_8UC1, out.data()), ouv(160, 180, CV_8UC2, out.data() + 360 * 320);
  for (auto _ : st) {
    cv::rotate(y, oy, cv::ROTATE_90_COUNTERCLOCKWISE);
    cv::rotate(uv, ouv, cv::ROTATE_90_COUNTERCLOCKWISE);
    benchmark::DoNotOptimize(out.data());
  }
}

void CopyBackRgb_Ours(benchmark::State& st) {
  std::vector<uint8_t> panel = scene(320, 360, 6), out(360 * 320 * 3);
  for (auto _ : st) {
    rga_info_t s = info(panel.data(), 320, 360, RK_FORMAT_YCbCr_420_SP);
    rga_info_t d = info(out.data(), 360, 320, RK_FORMAT_RGB_888);
    s.rotation = HAL_TRANSFORM_ROT_270;
    c_RkRgaBlit(&s, &d, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
}

void CopyBackRgb_OpenCV(benchmark::State& st) {
  std::vector<uint8_t> panel = scene(320, 360, 6), out(360 * 320 * 3);
  cv::Mat nv12(540, 320, CV_8UC1, panel.data()), rgb;
  cv::Mat o(320, 360, CV_8UC3, out.data());
  for (auto _ : st) {
    cv::cvtColor(nv12, rgb, cv::COLOR_YUV2RGB_NV12);
    cv::rotate(rgb, o, cv::ROTATE_90_COUNTERCLOCKWISE);
    benchmark::DoNotOptimize(out.data());
  }
}

}  // namespace

BENCHMARK(Cvtcolor_Ours);
BENCHMARK(Cvtcolor_OpenCV);
BENCHMARK(Dde_Ours);
BENCHMARK(Dde_OpenCV);
BENCHMARK(Sr_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(Sr_OpenCVLanczos4)->Unit(benchmark::kMicrosecond);
BENCHMARK(Sr_OpenCVCubic)->Unit(benchmark::kMicrosecond);
BENCHMARK(Palette_Ours)->Args({256, 192})->Args({768, 576});
BENCHMARK(Palette_OpenCV)->Args({256, 192})->Args({768, 576});
BENCHMARK(Display_Ours)->Args({256, 192, 216})->Args({768, 576, 648});
BENCHMARK(Display_OpenCV)->Args({256, 192, 216})->Args({768, 576, 648});
BENCHMARK(CopyBackNv12_Ours);
BENCHMARK(CopyBackNv12_OpenCV);
BENCHMARK(CopyBackRgb_Ours);
BENCHMARK(CopyBackRgb_OpenCV);

int main(int argc, char** argv) {
  const char* threads = std::getenv("HEATLUME_BENCH_CV_THREADS");
  cv::setNumThreads(threads ? std::atoi(threads) : 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

#include "tools/sreval/sr_eval.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "enhance/sr_model.h"
#include "enhance/sr_rknn.h"
#include "tools/modelgen/sr_model_builder.h"

namespace sreval {

std::vector<uint8_t> centreLuma(const QImage& image) {
  if (image.width() < kW || image.height() < kH) return {};
  const QImage rgb = image.copy((image.width() - kW) / 2, (image.height() - kH) / 2, kW, kH)
                         .convertToFormat(QImage::Format_RGB32);
  std::vector<uint8_t> out(size_t(kW) * kH);
  for (int y = 0; y < kH; ++y) {
    const QRgb* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < kW; ++x) {
      const double v = 0.299 * qRed(row[x]) + 0.587 * qGreen(row[x]) + 0.114 * qBlue(row[x]);
      out[size_t(y) * kW + x] = static_cast<uint8_t>(std::min(255.0, v + 0.5));
    }
  }
  return out;
}

std::vector<uint8_t> areaReduce(const std::vector<uint8_t>& luma) {
  std::vector<uint8_t> out(size_t(kSensorW) * kSensorH);
  for (int y = 0; y < kSensorH; ++y)
    for (int x = 0; x < kSensorW; ++x) {
      int sum = 0;
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) sum += luma[size_t(3 * y + i) * kW + 3 * x + j];
      out[size_t(y) * kSensorW + x] = static_cast<uint8_t>((sum + 4) / 9);
    }
  return out;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.empty()) return 99.0;
  const int n = static_cast<int>(a.size());
  const double se = cv::norm(cv::Mat(1, n, CV_8U, const_cast<uint8_t*>(a.data())),
                             cv::Mat(1, n, CV_8U, const_cast<uint8_t*>(b.data())), cv::NORM_L2SQR);
  if (se == 0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 / (se / a.size()));
}

double ssim(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w, int h) {
  const double c1 = 6.5025, c2 = 58.5225;  // (0.01 * 255)^2, (0.03 * 255)^2
  cv::Mat x, y;
  cv::Mat(h, w, CV_8U, const_cast<uint8_t*>(a.data())).convertTo(x, CV_64F);
  cv::Mat(h, w, CV_8U, const_cast<uint8_t*>(b.data())).convertTo(y, CV_64F);
  auto blur = [](const cv::Mat& m) {
    cv::Mat o;
    cv::GaussianBlur(m, o, cv::Size(11, 11), 1.5);
    return o;
  };
  const cv::Mat mx = blur(x), my = blur(y);
  const cv::Mat mx2 = mx.mul(mx), my2 = my.mul(my), mxy = mx.mul(my);
  const cv::Mat sx = blur(x.mul(x)) - mx2, sy = blur(y.mul(y)) - my2, sxy = blur(x.mul(y)) - mxy;
  cv::Mat num = (2 * mxy + c1).mul(2 * sxy + c2);
  cv::Mat den = (mx2 + my2 + c1).mul(sx + sy + c2);
  cv::Mat map;
  cv::divide(num, den, map);
  return cv::mean(map)[0];
}

Evaluator::Evaluator()
    : lanczosModel_(modelgen::buildModel()),
      src_(size_t(kSensorW) * kSensorH * 3 / 2, 128),
      dst_(size_t(kW) * kH * 3 / 2, 128) {
  net_ = sr_rknn_create(sr_model_data(), sr_model_size());
  lanczos_ = sr_rknn_create(lanczosModel_.data(), static_cast<uint32_t>(lanczosModel_.size()));
}

Evaluator::~Evaluator() {
  sr_rknn_destroy(net_);
  sr_rknn_destroy(lanczos_);
}

bool Evaluator::score(const QImage& image, Scores* out) {
  const std::vector<uint8_t> truth = centreLuma(image);
  if (truth.empty() || !ok()) return false;
  const std::vector<uint8_t> small = areaReduce(truth);
  std::copy(small.begin(), small.end(), src_.begin());
  std::vector<uint8_t> up[3];
  sr_rknn* models[2] = {net_, lanczos_};
  for (int m = 0; m < 2; ++m) {
    if (sr_rknn_run(models[m], src_.data(), dst_.data()) != 0) return false;
    up[m].assign(dst_.begin(), dst_.begin() + size_t(kW) * kH);
  }
  up[2].resize(size_t(kW) * kH);
  cv::Mat dst(kH, kW, CV_8U, up[2].data());
  cv::resize(cv::Mat(kSensorH, kSensorW, CV_8U, src_.data()), dst, dst.size(), 0, 0,
             cv::INTER_CUBIC);
  for (int m = 0; m < 3; ++m) {
    out->psnr[m] = psnr(up[m], truth);
    out->ssim[m] = ssim(up[m], truth, kW, kH);
  }
  return true;
}

int Evaluator::scoreFolder(const QString& dir, FILE* out) {
  QDir d(dir);
  if (!d.exists() || !d.isReadable()) return -1;
  const QFileInfoList files =
      d.entryInfoList({QStringLiteral("*.png"), QStringLiteral("*.PNG")}, QDir::Files, QDir::Name);
  Scores sum;
  int n = 0;
  for (const QFileInfo& f : files) {
    const QImage image(f.filePath());
    Scores s;
    if (image.isNull() || !score(image, &s)) {
      std::fprintf(out, "%s: skipped (%s)\n", qPrintable(f.fileName()),
                   image.isNull() ? "not a readable PNG" : "smaller than 768 x 576");
      continue;
    }
    std::fprintf(out,
                 "%s: psnr net %.2f lanczos %.2f bicubic %.2f  ssim net %.4f lanczos %.4f "
                 "bicubic %.4f\n",
                 qPrintable(f.fileName()), s.psnr[0], s.psnr[1], s.psnr[2], s.ssim[0], s.ssim[1],
                 s.ssim[2]);
    for (int m = 0; m < 3; ++m) {
      sum.psnr[m] += s.psnr[m];
      sum.ssim[m] += s.ssim[m];
    }
    ++n;
  }
  if (n > 0) {
    std::fprintf(out, "mean psnr: net %.2f lanczos %.2f bicubic %.2f\n", sum.psnr[0] / n,
                 sum.psnr[1] / n, sum.psnr[2] / n);
    std::fprintf(out, "mean ssim: net %.4f lanczos %.4f bicubic %.4f\n", sum.ssim[0] / n,
                 sum.ssim[1] / n, sum.ssim[2] / n);
  }
  return n;
}

}  // namespace sreval

#pragma once
// Scores threefold enlargements of the sensor's frame: the embedded network
// (through sr_rknn_create / sr_rknn_run, 8-bit in and out as on the device),
// the previous Lanczos model and bicubic interpolation, each against the
// picture the sensor frame was reduced from.
#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <vector>

struct sr_rknn;

namespace sreval {

constexpr int kW = 768, kH = 576;  // enlarged frame
constexpr int kSensorW = 256, kSensorH = 192;

// The centre 768 x 576 of a picture as 8-bit luma (BT.601 weights); empty if
// the picture is smaller.
std::vector<uint8_t> centreLuma(const QImage& image);

// 3 x 3 area averages, rounded: what the sensor's pixels integrate.
std::vector<uint8_t> areaReduce(const std::vector<uint8_t>& luma768x576);

// On 8-bit planes of equal size. PSNR of identical planes is reported as 99.
double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
// Mean structural similarity, Gaussian window of 11 pixels with sigma 1.5.
double ssim(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int w, int h);

struct Scores {
  double psnr[3] = {0, 0, 0};  // net, lanczos, bicubic
  double ssim[3] = {0, 0, 0};
};

class Evaluator {
 public:
  Evaluator();
  ~Evaluator();
  Evaluator(const Evaluator&) = delete;
  Evaluator& operator=(const Evaluator&) = delete;
  bool ok() const { return net_ && lanczos_; }

  // The three enlargements of one picture's centre, scored; false if the
  // picture is smaller than 768 x 576 or a model does not run.
  bool score(const QImage& image, Scores* out);

  // Every *.png of dir in name order: one line per picture, then
  // "mean psnr: net X lanczos Y bicubic Z" and "mean ssim: ...". Returns the
  // number of pictures scored, -1 if dir cannot be read.
  int scoreFolder(const QString& dir, FILE* out);

 private:
  sr_rknn* net_ = nullptr;
  sr_rknn* lanczos_ = nullptr;
  std::vector<uint8_t> lanczosModel_;
  std::vector<uint8_t> src_, dst_;
};

}  // namespace sreval

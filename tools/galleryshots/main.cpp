// Screenshots of the galleries and measurements of their costs (see
// CMakeLists.txt). Everything happens under a throw-away board root.
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "display/display.h"
#include "gallery/delete_dialog.h"
#include "gallery/gallery_page.h"
#include "gallery/video_play_thread.h"
#include "platform/paths.h"
#include "record/thumbnail_box.h"
#include "sim/sim_board.h"
#include "tools/shotkit/shotkit.h"

namespace {

constexpr int kW = 360;
constexpr int kH = 320;
constexpr double kScale = 2.0;

QRgb whiteHot(double t) {
  const int v = int(std::clamp(t, 0.0, 1.0) * 235 + 10);
  return qRgb(v, v, v);
}

QImage scene(int seed, bool reticle, bool grey = false) {
  QImage img(kW, kH, QImage::Format_RGB32);
  const double cx = 80 + (seed * 67) % 200, cy = 150 + (seed * 29) % 60;
  const double vx = 60 + (seed * 113) % 240;
  for (int y = 0; y < kH; ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < kW; ++x) {
      auto blob = [&](double bx, double by, double sx, double sy) {
        const double dx = (x - bx) / sx, dy = (y - by) / sy;
        return std::exp(-(dx * dx + dy * dy));
      };
      double t = 0.10 + 0.16 * y / kH + 0.62 * blob(cx, cy, 22, 48) + 0.66 * blob(cx, cy - 62, 13, 14) +
                 0.40 * blob(vx, 250, 58, 22) + 0.05 * std::sin(x * 0.07 + seed);
      line[x] = grey ? whiteHot(t) : shotkit::iron(t);
    }
  }
  if (reticle) {
    QPainter p(&img);
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(180 - 24, 160, 180 - 6, 160);
    p.drawLine(180 + 6, 160, 180 + 24, 160);
    p.drawLine(180, 160 - 24, 180, 160 - 6);
    p.drawLine(180, 160 + 6, 180, 160 + 24);
  }
  return img;
}

QByteArray jpeg(const QImage& img) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "JPEG", 75);
  return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool ffmpegVideo(const QString& out, double seconds) {
  QProcess p;
  p.start(QStringLiteral("ffmpeg"),
          {"-y", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=360x320:rate=25", "-t",
           QString::number(seconds), "-c:v", "libx264", "-pix_fmt", "yuv420p", out});
  return p.waitForFinished(300000) && p.exitCode() == 0;
}

int shots(const QString& outDir) {
  QTemporaryDir root;
  platform::setRoot(root.path().toStdString());
  const QString pics = platform::qpath("/mnt/sdcard/picture");
  const QString vids = platform::qpath("/mnt/sdcard/video");
  QDir().mkpath(pics);
  QDir().mkpath(vids);
  for (int i = 1; i <= 6; ++i)
    writeFile(pics + QStringLiteral("/pic_%1.jpg").arg(i), jpeg(scene(i, true, i % 2 == 0)));
  for (int i = 1; i <= 4; ++i) {
    const QString v = vids + QStringLiteral("/video_%1.mp4").arg(i);
    if (!ffmpegVideo(v, 1)) {
      std::fprintf(stderr, "galleryshots: ffmpeg failed\n");
      return 1;
    }
    if (i != 2) record::appendThumbnailBox(v, jpeg(scene(10 + i, false, i % 2 == 1)));  // one without
  }
  const QImage live = scene(42, false);
  const char* const langs[] = {"zh", "en", "ru"};
  QDir().mkpath(outDir);
  bool ok = true;
  for (int lang = 0; lang < 3; ++lang) {
    QImage sheet(2 * kW + 12, 2 * kH + 12, QImage::Format_RGB32);
    sheet.fill(QColor(30, 30, 34));
    QPainter sp(&sheet);
    auto place = [&](const QImage& img, int cell) {
      sp.drawImage(QPoint((cell % 2) * (kW + 12), (cell / 2) * (kH + 12)), img);
    };

    gallery::GalleryPage photos(gallery::MediaKind::Photo, nullptr, kScale);
    photos.applyLanguage(lang);
    photos.refresh();
    photos.step(+1);
    photos.finishStep();
    place(shotkit::shoot(&photos, live, true), 0);

    gallery::GalleryPage videos(gallery::MediaKind::Video, nullptr, kScale);
    videos.applyLanguage(lang);
    videos.refresh();
    videos.step(+1);
    videos.finishStep();
    videos.step(+1);
    videos.finishStep();  // video_2 (no thumbnail) in the middle
    const QImage videoShot = shotkit::shoot(&videos, live, true);
    place(videoShot, 1);

    photos.openViewer(photos.media().at(2));
    place(shotkit::shoot(&photos, live, true), 2);

    // The question over the gallery, centred as on the device.
    photos.backToList();
    QImage withDialog = shotkit::shoot(&photos, live, true);
    gallery::DeleteConfirmDialog dialog(gallery::MediaKind::Photo, lang, kScale);
    dialog.show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    {
      QPainter p(&withDialog);
      dialog.render(&p, QPoint((kW - dialog.width()) / 2, (kH - dialog.height()) / 2), QRegion(),
                    QWidget::DrawChildren);
    }
    dialog.hide();
    place(withDialog, 3);
    sp.end();
    const QString file = QDir(outDir).filePath(QStringLiteral("gallery_%1.png").arg(langs[lang]));
    ok &= sheet.save(file);
    {
      // The video dialog on its own, in each language.
      QImage v = videoShot;
      gallery::DeleteConfirmDialog vd(gallery::MediaKind::Video, lang, kScale);
      vd.show();
      for (int i = 0; i < 5; ++i) QApplication::processEvents();
      QPainter p(&v);
      vd.render(&p, QPoint((kW - vd.width()) / 2, (kH - vd.height()) / 2), QRegion(),
                QWidget::DrawChildren);
      p.end();
      ok &= v.save(
          QDir(outDir).filePath(QStringLiteral("gallery_video_delete_%1.png").arg(langs[lang])));
    }
  }
  platform::setRoot(std::string());
  return ok ? 0 : 1;
}

int measure() {
  QTemporaryDir root;
  platform::setRoot(root.path().toStdString());
  const QString pics = platform::qpath("/mnt/sdcard/picture");
  const QString vids = platform::qpath("/mnt/sdcard/video");
  QDir().mkpath(pics);
  QDir().mkpath(vids);
  const QByteArray photo = jpeg(scene(3, true));
  const QByteArray ftyp("\0\0\0\x10" "ftypisom\0\0\0\0", 16);
  for (int i = 1; i <= 1000; ++i) {
    writeFile(pics + QStringLiteral("/pic_%1.jpg").arg(i), photo);
    const QString v = vids + QStringLiteral("/video_%1.mp4").arg(i);
    writeFile(v, ftyp + QByteArray(200 * 1024, '\0'));
    record::appendThumbnailBox(v, photo);
  }
  for (gallery::MediaKind kind : {gallery::MediaKind::Photo, gallery::MediaKind::Video}) {
    gallery::GalleryPage page(kind, nullptr, kScale);
    page.resize(kW, kH);
    std::vector<double> ms;
    for (int run = 0; run < 7; ++run) {
      // A page entered afresh: list, order and three thumbnails decoded.
      gallery::GalleryPage fresh(kind, nullptr, kScale);
      QElapsedTimer t;
      t.start();
      fresh.refresh();
      ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    QElapsedTimer t;
    t.start();
    page.refresh();
    page.refresh();  // thumbnails already decoded
    std::printf("%s gallery, 1000 files: refresh median %.1f ms (min %.1f, max %.1f)\n",
                kind == gallery::MediaKind::Photo ? "photo" : "video", ms[ms.size() / 2], ms.front(),
                ms.back());
  }

  // Real-time playback of a 10 s recording on the simulated panel.
  sim::SimBoard board;
  QString error;
  if (!board.create({}, &error)) {
    std::fprintf(stderr, "galleryshots: %s\n", qPrintable(error));
    return 1;
  }
  board.install();
  if (display_init(320, 360) != 0) return 1;
  const QString film = vids + "/video_5000.mp4";
  if (!ffmpegVideo(film, 10)) return 1;
  gallery::VideoPlayThread player;
  player.setPath(film);
  QElapsedTimer t;
  t.start();
  player.start();
  player.wait();
  std::printf("10 s video (250 frames): played in %.3f s, %d frames shown, %llu panel commits\n",
              t.nsecsElapsed() / 1e9, player.framesShown(),
              static_cast<unsigned long long>(board.kms().commits()));
  display_deinit();
  board.uninstall();
  platform::setRoot(std::string());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling, true);
  QApplication app(argc, argv);
  const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
  if (mode == "shots" && argc == 3) return shots(QString::fromLocal8Bit(argv[2]));
  if (mode == "measure") return measure();
  std::fprintf(stderr, "usage: galleryshots shots <folder> | galleryshots measure\n");
  return 2;
}

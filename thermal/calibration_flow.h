#pragma once
// The user calibration of the centre-spot readout: the choice of a reference
// of known temperature, a timed run that lets the aim settle and then samples
// the uncorrected reading, and the offset that would make the readout agree
// with the reference.
//
// The flow holds the state of one calibration and nothing else: it does not
// own a timer, show pages or write settings. The temperature pages drive
// tick() once a second while calibratingChanged says a run is on and show the
// banner and the pages from the signals; the main window stores the offset
// that offsetApplied hands it.
#include <QObject>
#include <functional>

struct CalibrationResult {
  int refType = 0;
  double refC = 0.0;       // the reference temperature of the run
  double measuredC = 0.0;  // mean of the successful samples
  double offsetC = 0.0;    // refC - measuredC
  int samples = 0;         // successful readings

  // A mean of fewer than two readings says nothing about the core's error
  // (a sensor that stopped answering would yield an offset equal to the
  // reference temperature); such a run is reported as failed.
  bool ok() const { return samples >= CalibrationResult::kMinSamples; }
  static constexpr int kMinSamples = 2;
};

class CalibrationFlow : public QObject {
  Q_OBJECT

 public:
  // The references, by row of the reference page.
  enum Reference { BoilingWater = 0, IceWater = 1, Skin = 2, Blackbody = 3 };
  enum Phase { NotRunning = 0, Settling = 1, Sampling = 2 };

  static constexpr double kBlackbodyDefaultC = 37.0;
  static constexpr double kBlackbodyMinC = 20.0;
  static constexpr double kBlackbodyMaxC = 550.0;
  static constexpr double kBlackbodyStepC = 0.5;
  static constexpr int kSettleTicks = 8;
  static constexpr int kSampleTicks = 3;

  // One reading of the centre region without the user's offset, in degrees
  // Celsius; false when the core did not answer.
  using Measure = std::function<bool(float* celsius)>;

  explicit CalibrationFlow(Measure measure, QObject* parent = nullptr);

  // The temperature of a reference row; the blackbody's is its set point.
  static double referenceTemperature(int refType, double blackbodyC);

  // A reference row was chosen. The blackbody restarts at 37.0 every time
  // (its page comes next); any other row is ready for the guide. A row
  // outside 0-3 is kept with a reference of 0.0.
  void selectReference(int refType);
  // Moves the blackbody set point, clamped to 20.0-550.0.
  void nudgeBlackbody(double deltaC);
  // Before the guide page shows: the blackbody's reference becomes its set
  // point.
  void prepareGuide();

  // Starts a run (ignored while one is on).
  void start();
  // One second of the run; does nothing unless a run is on.
  void tick();
  // Hands the last result's offset to offsetApplied; false (and nothing
  // emitted) when there is no successful result.
  bool apply();

  int refType() const { return refType_; }
  double refC() const { return refC_; }
  double blackbodyC() const { return blackbodyC_; }
  bool isCalibrating() const { return calibrating_; }
  Phase phase() const { return phase_; }
  int countdown() const { return countdown_; }
  // The last finished run (a new run overwrites it).
  const CalibrationResult& result() const { return result_; }
  bool hasResult() const { return hasResult_; }

 signals:
  // A run started or ended: the window starts or stops its calibration timer
  // and pauses the readout meanwhile.
  void calibratingChanged(bool calibrating);
  // The banner over the live view: shown for the length of a run.
  void bannerVisibleChanged(bool visible);
  // The banner's countdown line changed (phase 1 settling, 2 sampling).
  void bannerChanged(int phase, int countdown);
  void setPointChanged(double setPointC);
  // The run ended; the result page shows it.
  void finished(const CalibrationResult& result);
  // The user applied the result: the new tempOffsetC, for the window to store.
  void offsetApplied(double offsetC);

 private:
  void finish();

  Measure measure_;
  int refType_ = BoilingWater;
  double refC_ = 100.0;
  double blackbodyC_ = kBlackbodyDefaultC;
  bool calibrating_ = false;
  Phase phase_ = NotRunning;
  int countdown_ = 0;
  double sum_ = 0.0;
  int count_ = 0;
  CalibrationResult result_;
  bool hasResult_ = false;
};

Q_DECLARE_METATYPE(CalibrationResult)

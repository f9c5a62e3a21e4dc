#pragma once
// The last minutes of a run, for the trend chart: per frame the input
// (engineering units as shown) and output (mA or V) of each channel, with
// the run clock's time. Older samples drop out as new ones arrive.
#include "measure/FrameDisplay.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <deque>
#include <vector>

namespace pv {

struct Sample {
  qint64 timeMs = 0;
  std::array<bool, 2> present{};     // channel updated in that frame
  std::array<bool, 2> inputValid{};  // false where the input showed kNoValue
  std::array<double, 2> input{}, output{};
};

class SampleHistory {
public:
  static constexpr qint64 kDefaultSpanMs = 5 * 60 * 1000;
  explicit SampleHistory(qint64 spanMs = kDefaultSpanMs) : spanMs_(spanMs) {}

  void add(const DisplayFrame& frame);
  void clear() { samples_.clear(); }
  void setSpanMs(qint64 spanMs);
  size_t size() const { return samples_.size(); }
  // Samples no older than the span before the newest one, oldest first.
  std::vector<Sample> visible() const;

private:
  void prune();
  qint64 spanMs_;
  std::deque<Sample> samples_;
};

// CSV of samples: a header naming channels and units, then one row per
// sample with seconds from the first sample. '.' decimal point whatever the
// user's locale; an empty field where a channel has no value.
QByteArray SamplesToCsv(const std::vector<Sample>& samples, const RunSetup& setup);
// Writes the CSV through a temporary file renamed over the target.
bool SaveSamplesCsv(const std::vector<Sample>& samples, const RunSetup& setup,
                    const QString& path, QString* error = nullptr);

} // namespace pv

#include "measure/SampleHistory.h"

#include "kernel/AtomicFile.h"

namespace pv {

void SampleHistory::add(const DisplayFrame& f) {
  Sample s;
  s.timeMs = f.timeMs;
  for (int c = 0; c < 2; ++c) {
    const ChannelDisplay& ch = f.channels[c];
    s.present[c] = ch.updated;
    s.inputValid[c] = ch.updated && ch.inputValid;
    s.input[c] = ch.input;
    s.output[c] = ch.output;
  }
  samples_.push_back(s);
  prune();
}

void SampleHistory::setSpanMs(qint64 spanMs) {
  spanMs_ = spanMs;
  prune();
}

void SampleHistory::prune() {
  if (samples_.empty()) return;
  const qint64 oldest = samples_.back().timeMs - spanMs_;
  while (!samples_.empty() && samples_.front().timeMs < oldest) samples_.pop_front();
}

std::vector<Sample> SampleHistory::visible() const {
  return std::vector<Sample>(samples_.begin(), samples_.end());
}

namespace {
QByteArray Number(double v, int decimals) { return QByteArray::number(v, 'f', decimals); }

QByteArray Field(const QString& text) {
  QByteArray b = text.toUtf8();
  if (b.contains(',') || b.contains('"') || b.contains('\n')) {
    b.replace("\"", "\"\"");
    b = '"' + b + '"';
  }
  return b;
}
} // namespace

QByteArray SamplesToCsv(const std::vector<Sample>& samples, const RunSetup& setup) {
  static const char* const kName[2] = {"A", "B"};
  QByteArray out = "time_s";
  for (int c = 0; c < 2; ++c) {
    const ChannelSettings& s = setup.channels[c].settings;
    out += ',' + Field(QStringLiteral("input_%1 (%2)").arg(kName[c], s.inputUnit));
    out += ',' + Field(QStringLiteral("output_%1 (%2)").arg(kName[c], s.outputUnit));
  }
  out += "\r\n";
  const qint64 t0 = samples.empty() ? 0 : samples.front().timeMs;
  for (const Sample& s : samples) {
    out += Number((s.timeMs - t0) / 1000.0, 3);
    for (int c = 0; c < 2; ++c) {
      const int d = setup.channels[c].settings.inputDecimals;
      out += ',';
      if (s.inputValid[c]) out += Number(s.input[c], std::max(d, 4));
      out += ',';
      if (s.present[c]) out += Number(s.output[c], 4);
    }
    out += "\r\n";
  }
  return out;
}

bool SaveSamplesCsv(const std::vector<Sample>& samples, const RunSetup& setup,
                    const QString& path, QString* error) {
  return SaveAtomically(path, SamplesToCsv(samples, setup), error);
}

} // namespace pv

// Frames per second of the measurement window's update path (decode, display
// values and texts, trend history) with frames fed as fast as possible,
// against the rate at which a unit can stream them at 9600 baud.
#include "measure/FrameDisplay.h"
#include "measure/SampleHistory.h"
#include "SimulatedFrame.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace pv;

namespace {

double StreamRate(int dataBytes) {
  const int chars = 1 + dataBytes + 1;  // "A", data, CR
  return 9600.0 / (10.0 * chars);       // 8N1: ten bits a character
}

void Measure(const char* name, const DeviceIdentity& id, int frames) {
  RunSetup setup;
  setup.identity = id;
  setup.lastChannel = 1;
  std::array<SimulatedChannel, 2> sim;
  for (int c = 0; c < 2; ++c) {
    ChannelSetup& ch = setup.channels[c];
    ch.configured = true;
    ch.settings.inputMin = -200;
    ch.settings.inputMax = 850;
    ch.settings.inputDecimals = 1;
    ch.settings.inputUnit = QString::fromUtf8("\u00b0C");
    ch.settings.outputMin = 4;
    ch.settings.outputMax = 20;
    ch.settings.outputUnit = QStringLiteral("mA");
    ch.p0 = 3.98;
    ch.p1 = 20.02;
    sim[c].settings = ch.settings;
    sim[c].p0 = ch.p0;
    sim[c].p1 = ch.p1;
    sim[c].hasTrip = c == 0;
    sim[c].trip = {0, 600, 550, 0};
  }
  // A sweep across the range and beyond, prepared before timing.
  std::vector<FrameBytes> feed(1024);
  int dataBytes = 0;
  for (size_t i = 0; i < feed.size(); ++i) {
    const double f = -0.1 + 1.2 * double(i) / double(feed.size());
    const QByteArray data = EncodeSimulatedFrame(id, sim, {f, 1.0 - f});
    dataBytes = int(data.size());
    feed[i] = FrameBytes{};
    for (int k = 0; k < data.size(); ++k) feed[i][k + 1] = uint8_t(data[k]);
  }

  SampleHistory history;
  qsizetype sink = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (int n = 0; n < frames; ++n) {
    const DisplayFrame d = ComputeDisplay(setup, DecodeFrame(id, feed[n % feed.size()]), n * 16);
    history.add(d);
    sink += d.channels[0].inputText.size() + d.channels[1].outputText.size();
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double fps = frames / s;
  const double wire = StreamRate(dataBytes);
  std::printf("%-28s %9.0f frames/s  (%.2f us/frame)  wire %5.1f frames/s  ratio %7.0fx  [%lld]\n",
              name, fps, 1e6 / fps, wire, fps / wire, static_cast<long long>(sink % 10));
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int frames = argc > 1 ? std::atoi(argv[1]) : 200000;
  Measure("two-channel (7 data bytes)", {12, 2, 3, 0}, frames);
  Measure("scaled (13 data bytes)", {12, 5, 3, 0}, frames);
  Measure("one-channel (14 data bytes)", {12, 0, 3, 0}, frames);
  Measure("frequency (14 data bytes)", {12, 7, 0, 0}, frames);
  return 0;
}

#pragma once
// Decoding one streamed measurement frame and turning it into what the
// measurement window shows. Pure functions: no device, no widgets.
//
// A frame carries up to four ShortFloat values (H, L, E) at data bytes
// 3k+2..3k+4 and a status byte for the lamps. Value 0 and 1 are the
// channels' outputs in DAC counts (800 and 3500 are the two calibrated
// points); values 2 and 3 are inputs on the models that send them.
#include "kernel/AppState.h"
#include "link/DeviceCommands.h"

#include <QString>
#include <array>
#include <cstdint>

namespace pv {

// Shape colours as the window paints them.
enum class Colour : uint32_t { Red = 255, Green = 65280, Yellow = 65535, Grey = 8421504 };

struct FrameValues {
  std::array<double, 4> value{};
  uint8_t status = 0;
};

// What one run knows about a channel once it has started streaming.
struct ChannelSetup {
  bool configured = false;  // derived in this run (0..channel selector)
  ChannelSettings settings;  // limits, decimals, function, units
  double p0 = 0, p1 = 0;     // output at DAC counts 800 and 3500
  QString inputLabel, outputLabel;
  bool inputLabelVisible = true;  // hidden for channel B on a doubler unit
};

struct TripLabels {
  bool present = false;
  QString high, low, direction, delay;
};

struct RunSetup {
  DeviceIdentity identity;
  int lastChannel = 1;  // the channel selector when the run started
  std::array<ChannelSetup, 2> channels;
  std::array<TripLabels, 2> trips;
};

struct ChannelDisplay {
  bool updated = false;  // false: leave this channel's controls alone
  double raw = 0;        // output in DAC counts
  double output = 0;     // mA or V
  QString outputText;    // "12.000 mA"
  bool inputValid = false;  // false when equal output limits leave no input
  double input = 0;         // scaled and rounded as shown
  QString inputUnit;        // "%" for tank and square-root functions
  QString inputText;        // "350.0 °C", or kNoValue
  bool underRange = false, overRange = false;
  Colour underLabel = Colour::Grey, overLabel = Colour::Grey;
  // Share of the input field's width the bar covers, 0..1. Equal input
  // limits give no position: the bar stays empty and barValid is false.
  double barFraction = 0;
  bool barValid = false;
};

struct DisplayFrame {
  qint64 timeMs = 0;
  FrameValues values;
  std::array<Colour, 3> lamps{Colour::Green, Colour::Green, Colour::Green};  // Trip A, Trip B, Alarm
  std::array<ChannelDisplay, 2> channels;
};

// Shown where a value cannot be computed.
inline const QString kNoValue = QStringLiteral("----");

// True on the models whose calibration pair is stored high point first
// and whose frames carry the input as value 3.
bool StoresPairReversed(const DeviceIdentity& id);

// The frame value (0..3) that carries channel c's input, or -1 where the
// frame carries only outputs: value c + 2 on the physical-scale model,
// value 3 (the one input, both channels) where the pair is stored high
// value first. The 10 V and 20 mA inputs arrive in mV and uA.
int InputValueIndex(const DeviceIdentity& id, int c);

// Data byte (1..14) that holds the status byte.
int StatusByteIndex(const DeviceIdentity& id);

FrameValues DecodeFrame(const DeviceIdentity& id, const FrameBytes& frame);

// Output in mA or V for a DAC count; the pair is (P0, P1) as read.
double OutputFromRaw(const DeviceIdentity& id, double raw, double p0, double p1);

std::array<Colour, 3> LampsFromStatus(uint8_t status);

// Pattern for an input value: fixed decimals, or on the frequency model a
// pattern that follows the magnitude.
QString InputPattern(const DeviceIdentity& id, double value, int decimals);

ChannelDisplay ComputeChannelDisplay(const DeviceIdentity& id, const ChannelSetup& ch,
                                     const FrameValues& v, int channel);

// Everything the window shows for one frame; channels above lastChannel
// are left not updated.
DisplayFrame ComputeDisplay(const RunSetup& setup, const FrameValues& v, qint64 timeMs);

struct ModelRow;

// The sections of the measurement window a model has: channel B's input,
// channel B's output (with its chart) and channel B's trip lamp.
struct MeasurePanels {
  bool inputB = false;
  bool outputB = false;
  bool tripB = false;
  friend bool operator==(const MeasurePanels&, const MeasurePanels&) = default;
};
MeasurePanels PanelsFor(const ModelRow& row);

} // namespace pv

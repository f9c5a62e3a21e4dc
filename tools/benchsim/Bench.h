#pragma once
// The simulated factory bench: one unit (the device simulator) wired to a
// power supply, a calibrator, two serial multimeters, a USB multimeter, a
// switching unit and a function generator, coupled physically:
//
//   calibrator output --(switch routing)--> unit input x_in
//   x_meas = x_in * k_stored / k_true + zero + trim      (k_stored: the Float24
//            in the range's gain cells; k_true: the unit's hidden gain)
//   output value Y = Omin + (Omax - Omin) * (x_meas - Min) / (Max - Min)
//   DAC code D = 800 + 2700 * (Y - P0) / (P1 - P0)      (P0, P1: stored pair)
//   terminals: V = aV + bV * D, I = aI + bI * D (the unit's hidden curves);
//              a code forced with "$I"/"$i" in programming mode replaces D
//   meter --(switch routing)--> the voltage or current terminals of A or B
//   supply current = a + b * volts per family, when on
//   PTC input on its reference network: excitation * R / (R + series)
//   function generator --> a frequency input
//
// Streamed frames carry D for each channel, so the calibration's input
// step, which turns D back into input units, reads x_meas, and one gain
// step (k1 = k0 * G / m) lands on k_true. The older generation (KRV2210)
// also streams x_meas itself as value 3, in mV and uA on its 10 V and 20 mA
// rows; the physical-scale model (KRV2312D) both inputs as values 2 and 3,
// on the physical scale of cells 128.. (off while its two ends are equal).
//
// Every cell the bench reads for a factory value (gains, trims, output
// pairs, range words, physical scale) is where config/FactoryCells.h puts
// it, in that row's byte order.
//
// The hidden truth and the faults are plain data (UnitTruth, BenchFaults):
// each fault moves exactly one quantity.
#include "DeviceSimulator.h"
#include "Instruments.h"

#include <QJsonObject>
#include <array>
#include <map>
#include <memory>

namespace pv::bench {

enum class InputClass { None, Millivolt, Volt, Milliamp, Resistance, PtcReference, Frequency };

// What the bench's switching unit connects, derived from the closed relays.
struct Routing {
  InputClass input = InputClass::None;  // terminals the calibrator reaches
  bool calibratorConnected = false;
  double referenceOhms = 0;             // PTC reference in circuit (PtcReference)
  int inputChannel = 0;                 // 0 = A, 1 = B
  int meterChannel = 0;                 // output the first meter sees
  bool meterOnCurrent = false;          // current terminals instead of voltage
};

// A straight line per output terminal, in V or mA per DAC code.
struct OutputCurve {
  double a = 0, b = 0;
  double at(double code) const { return a + b * code; }
};

struct ChannelTruth {
  std::map<int, double> gain;  // input row -> k_true
  std::map<int, double> zero;  // input row -> offset in the row's unit
  OutputCurve volts, milliamps;
  double coldJunctionError = 0;  // degrees C the unit's sensor reads high
  // The PTC input's excitation (mV) and series resistor (ohm): with a
  // reference resistor R on the input, the millivolt input sees
  // excitation * R / (R + series).
  double ptcExcitation = 2201, ptcSeries = 2120;
};

struct UnitTruth {
  std::array<ChannelTruth, 2> channel;
  double consumptionA = 0.018;      // A at 0 V of the family line
  double consumptionPerVolt = 0;    // A per V
};

struct BenchFaults {
  // Input row whose gain is far from nominal, per channel (0 = none).
  std::array<int, 2> wrongGainRow{0, 0};
  // Per channel: 0 none, 1 voltage terminal, 2 current terminal, 3 both.
  std::array<int, 2> deadOutput{0, 0}, bowedOutput{0, 0};
  bool highConsumption = false;
  bool coldJunction = false;
  bool silentCalibrator = false;
  // Not a fault: an operator at the bench who sets every DIP switch to the
  // other end after each switch read, starting all ON, as the calibration's
  // switch check asks (ON, then OFF).
  bool dipOperator = false;
  std::array<bool, 3> silentMeter{false, false, false};  // meter A, meter B, USB meter
};

// Parses "--fault" texts: "wrong-gain=90mV", "wrong-gain=B:20mA",
// "dead-output=A:V", "bowed-output=B", "high-consumption", "cold-junction",
// "silent-calibrator", "silent-meter" (all three) or "silent-meter=A|B|usb".
// Returns an error text, empty on success.
QString ApplyFault(BenchFaults& faults, const QString& text);
// The names accepted by ApplyFault, for help texts.
QString FaultHelp();

// The nominal truth of a good unit of this model, spread a little by the
// seed (0: exactly nominal).
UnitTruth NominalTruth(const ModelRow& model, unsigned seed);

class SimulatedBench {
public:
  SimulatedBench(const ModelRow& model, const UnitTruth& truth, const BenchFaults& faults = {});

  sim::DeviceSimulator& unit() { return unit_; }
  PowerSupply& supply() { return supply_; }
  Calibrator& calibrator() { return calibrator_; }
  // 0, 1: the serial meters; 2: the USB meter (on the first meter's terminals).
  Multimeter& meter(int index) { return *meters_[static_cast<size_t>(index)]; }
  SwitchUnit& switches() { return switch_; }
  FunctionGenerator& generator() { return generator_; }
  const UnitTruth& truth() const { return truth_; }
  UnitTruth& truth() { return truth_; }
  const BenchFaults& faults() const { return faults_; }

  Routing routing() const;
  // What channel c's input terminals carry, in the unit of its input row.
  double inputValue(int c) const;
  // What the unit makes of it (x_meas), same unit.
  double measuredValue(int c) const;
  // The DAC code the unit drives now (forced or computed), and the one it
  // streams (always the computed one).
  double dacCode(int c) const;
  double streamedCode(int c) const;
  // Terminal values of channel c: volts, milliamperes.
  double outputVolts(int c) const;
  double outputMilliamps(int c) const;
  // Supply current in A.
  double supplyAmps(bool on, double volts) const;
  // Whether the bench supply runs the unit now (on, at a voltage its
  // converter starts at).
  bool unitPowered() const;
  // A forced code of channel c while in programming mode, or -1.
  int forcedCode(int c) const { return forced_[static_cast<size_t>(c)]; }
  // The last code forced on channel c, whether or not it still holds.
  int lastForcedCode(int c) const { return lastForced_[static_cast<size_t>(c)]; }

  // Channel c's input as the frame carries it where it does: the older
  // generation's 10 V and 20 mA inputs in mV and uA, the physical-scale
  // model's inputs on the channel's physical scale.
  double streamedInput(int c) const;
  // Data bytes of a streamed frame (counter byte included).
  QByteArray frameData() const;
  // What the bench did, for the state file.
  QJsonObject state() const;

private:
  void observe(const QByteArray& command);
  int inputRow(int c) const;
  double terminal(int c, bool current) const;

  const ModelRow& model_;
  UnitTruth truth_;
  BenchFaults faults_;
  sim::DeviceSimulator unit_;
  PowerSupply supply_;
  Calibrator calibrator_;
  std::array<std::unique_ptr<Multimeter>, 3> meters_;
  SwitchUnit switch_;
  FunctionGenerator generator_;
  std::array<int, 2> forced_{-1, -1};
  std::array<int, 2> lastForced_{-1, -1};
  int frames_ = 0;
};

} // namespace pv::bench

#pragma once
// The calibrator: serial, 9600 8N1, 7-byte binary frames, every byte of which
// the calibrator answers with one byte.
//
//   byte 1   address (always 1)
//   byte 2   command
//   3..6     D1..D4
//   byte 7   (D1 + D2 + D3 + D4) AND 127 (address and command not summed)
//
// The byte answered to each data byte replaces it: that is how a reading
// comes back. The answers to address, command and checksum are dropped.
//
// Commands used:
//   0x81 (v31..24, v23..16, v15..8, v7..0)  output value, 32-bit two's complement
//   0x80 (f, 0, 0, 0) f = 0..5; (f, sensor, 0, 64) f = 8, 9   output function
//   0x82 (1,0,0,0) ... (0,0,0,0)            bracket an ambient temperature read
//   0x80 (8,1,1,0) (8,1,0,0) (8,1,0,0xC0)   its measurement set-up
//   0x01 (8,1,0,0xC0)                       read the measured value (x 100)
#include "factory/Instrument.h"

#include <array>
#include <cstdint>

namespace pv {

using CalData = std::array<uint8_t, 4>;

inline constexpr uint8_t kCalAddress = 1;
inline constexpr uint8_t kCalSetOutput = 0x81;
inline constexpr uint8_t kCalSetFunction = 0x80;
inline constexpr uint8_t kCalBracket = 0x82;
inline constexpr uint8_t kCalReadValue = 0x01;

uint8_t CalibratorChecksum(const CalData& d);
QByteArray CalibratorFrame(uint8_t address, uint8_t command, const CalData& d);
// D1..D4 of an output value; nothing outside -2^31 .. 2^32 - 1.
std::optional<CalData> CalibratorValueBytes(qint64 value);
// D1..D4 selecting output function f (0..5, or 8 and 9 with a sensor code);
// nothing for another f.
std::optional<CalData> CalibratorFunctionBytes(int f, int sensor);

class Calibrator final : public Instrument {
public:
  Calibrator(Bench& bench, SerialPort& port)
      : Instrument(InstrumentKind::Calibrator, bench, &port, 9600) {}

  // One frame; the answer bytes in place of D1..D4. Manual: returns the data
  // unchanged at once. Nothing after Cancel or a port failure.
  std::optional<CalData> CalibratorExchange(uint8_t address, uint8_t command, CalData data);
  // Output value in the calibrator's units for the active function (an
  // integer: 90 mV is 90000). Manual: tells the operator "Cal = value".
  bool SetCalibratorOutput(double value);
  // Selects the output function (frame 0x80).
  bool SelectFunction(int f, int sensor = 0);
  // Ambient temperature in degrees C measured by the calibrator. Manual: the
  // operator types it.
  std::optional<double> ReadCalibratorTemperature();
};

} // namespace pv

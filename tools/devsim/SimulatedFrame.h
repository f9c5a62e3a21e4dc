#pragma once
// Streamed frames of the device simulator: what a unit with a given
// configuration sends when its inputs sit at given points of their ranges.
// The inverse of the window's decoding, so a simulated run shows values
// that follow the configured ranges, function and calibration pair, and
// lamps that trip when the input crosses the trip thresholds.
#include "kernel/AppState.h"
#include "config/RangeTables.h"

#include <QByteArray>
#include <array>
#include <cstdint>

namespace pv {

struct SimulatedChannel {
  ChannelSettings settings;  // input/output limits, input type, function
  double p0 = 4, p1 = 20;    // calibration pair as the unit stores it
  TripRecord trip;
  bool hasTrip = false;
};

// Status bits: 1/2 trip of A/B (red), 16/32 A/B between the thresholds
// (yellow), 4 alarm (red) when an input leaves its range.
uint8_t SimulatedStatus(const std::array<SimulatedChannel, 2>& ch,
                        const std::array<double, 2>& inputFraction);

// The data bytes of one frame (without the leading "A" and trailing CR):
// 5, 7, 13 or 14 of them by identity. inputFraction[c] is channel c's input
// as a share of its range (0 = lower limit, 1 = upper; outside means under-
// or over-range).
QByteArray EncodeSimulatedFrame(const DeviceIdentity& id,
                                const std::array<SimulatedChannel, 2>& channels,
                                const std::array<double, 2>& inputFraction);

// Channels of a unit configured through its cells: configuration cells
// 0..41, calibration pairs at 100..123 and trips, as a run would read them.
std::array<SimulatedChannel, 2> SimulatedChannelsFromCells(const DeviceIdentity& id,
                                                           const RangeTables& tables,
                                                           const uint8_t* bank0 /*0..255*/);

// ShortFloat bytes H, L, E for a value (the inverse of DecodeShortFloat,
// to 15 mantissa bits).
std::array<uint8_t, 3> ShortFloatBytes(double value);

} // namespace pv

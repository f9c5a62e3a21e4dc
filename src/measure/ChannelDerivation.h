#pragma once
// How a measurement run learns each channel's ranges before streaming:
// from the configuration cells when the unit's switches say "EEPROM",
// otherwise from the switch bytes and the unit's span and zero tables.
#include "kernel/AppState.h"
#include "config/RangeTables.h"
#include "measure/FrameDisplay.h"

#include <array>
#include <cstdint>

namespace pv {

class MeasureDevice;

// Input row the switches give channel c; 0 means "configured by software".
int SwitchInputRow(const DeviceIdentity& id, const std::array<uint8_t, 3>& sw, int c);

// Channel c's settings from configuration cells 0..41 (cells[i] is cell i).
ChannelSettings ChannelFromCells(const DeviceIdentity& id, const RangeTables& tables,
                                 const uint8_t* cells, int c);

// Channel c's trip record from configuration cells 0..41. present is false
// on the channels that carry no trip.
TripRecord TripFromCells(const DeviceIdentity& id, const RangeTables& tables, const uint8_t* cells,
                         int c, bool* present);

// First cell of channel c's calibration pair for its output type (current
// outputs keep a pair of their own six cells further on).
int CalibrationPairAddress(int channel, int outputType);
// (P0, P1) from the six cells of a pair: two Float24 values, S M1 M2 each.
std::array<double, 2> CalibrationPairFromCells(const uint8_t* six);

// Fills a channel configured by the switches. Reads the unit's tables and
// default cells through dev; false when an exchange failed (commError set).
bool DeriveSwitchChannel(const DeviceIdentity& id, const RangeTables& tables,
                         const std::array<uint8_t, 3>& sw, int c, int switchRow,
                         MeasureDevice& dev, AppState& state, ChannelSettings& out);

// Input and output range captions, with the function suffix.
void FillChannelLabels(const DeviceIdentity& id, const RangeTables& tables, ChannelSetup& ch);
TripLabels MakeTripLabels(const DeviceIdentity& id, const TripRecord& trip, const QString& unit);

} // namespace pv

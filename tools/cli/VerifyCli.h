#pragma once
// planovix-cli verify-calibration: the verification run of a calibrated
// unit from the command line, on the same core as the verification window.
//
//   supply on at --supply-volts (when given), switching unit routed for the
//   model's channel and the input's wiring, then the run: calibrator at min,
//   half and max, one meter reading each; the report goes to stdout.
//
// Exit codes: 0 the report is complete; 1 an instrument failed (no answer,
// a port that does not open); 2 usage error or a value the run refuses
// (supply outside 18..30 V, unknown input or model, an mV range beyond its
// input, a second channel the model cannot verify). Nothing is sent before
// every argument has been checked.
#include "CliBase.h"

namespace pv {

int VerifyCommand(CliRun& run);

} // namespace pv

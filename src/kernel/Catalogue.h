#pragma once
// The model catalogue: every fact that depends on the model or its variant
// is a row here, and code asks the row, never the model's name.
//
// A unit names itself with "$V" (device code 12 or 11, variant 0..7). Units
// of variants 2..6 also carry their family in bits 5 and 6 of cell 4:
//   cell 4 AND 96:  0 "KRV2212"   32 "KRV2311"   64 "KRV2312"   96 "KRV2211"
// Variant -> model: 0, 1 "KRV2210"; 2 family + "A"; 3 + "B"; 4 + "D";
// 5 "KRV2312D" (whatever the family bits); 6 + "C"; 7 "KRV2220".
#include "kernel/AppState.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <cstdint>

namespace pv {

// What a variant decides, with device code 12.
struct VariantRow {
  uint8_t spanPoints, zeroPoints;  // sizes of the "$S" span and zero tables
  uint8_t frameLength;             // data bytes of a measurement frame
  bool longSwitchAnswer;           // "$D" answers four switch bytes, not two
  uint8_t tripBlock;               // first cell of channel A's trip thresholds
  uint8_t tripChannels;            // channels that carry a trip (A, or A and B)
  bool familyInCell4;              // bits 5 and 6 of cell 4 name the family
  bool signedWords;                // 16-bit cell words are two's complement
  bool frequencyInput;             // the input is always "Freq" (cell 0 = sensor)
  bool physicalScale;              // cells 128..151 hold the physical scale
};

// Indexed by variant.
extern const std::array<VariantRow, 8> kVariants;
// The row of a variant; nullptr outside 0..7.
const VariantRow* FindVariant(int variant);

struct ModelRow {
  const char* id;
  uint8_t variant;
  uint8_t family;     // cell 4 AND 96 on variants 2..6; 0 elsewhere
  uint8_t inputs;     // input channels: 1 or 2
  bool secondOutput;  // channel B's output exists (second channel, repeater, digital output)
  bool dModel;        // voltage / current inputs only

  const VariantRow& variantRow() const { return kVariants[variant]; }
  // Channel B has a trip lamp: a second input, or a variant whose B carries a trip.
  bool tripB() const { return inputs == 2 || variantRow().tripChannels == 2; }
};

// Catalogue order: the index selects the model caption (brand base + 10 + index).
extern const std::array<ModelRow, 18> kModels;

// Catalogue index of a model id (exact), or -1.
int CatalogueIndex(QStringView modelId);
// A model by id, ignoring case; nullptr when unknown.
const ModelRow* FindModel(QStringView modelId);
QStringList ModelIds();

// Family prefix from cell 4 of bank 0 (bits 5 and 6).
QString FamilyPrefix(uint8_t cell4);
// Model id for a variant; cell 4 matters only where the variant row says so.
// A variant outside 0..7 gives the bare prefix, which names no model.
QString IdentifyModel(uint8_t variant, uint8_t cell4);
// The identity predicate: the row of the unit, or nullptr.
const ModelRow* ModelOf(uint8_t variant, uint8_t cell4);

// The model of the identified unit (variant and family cell), or nullptr.
inline const ModelRow* UnitModel(const AppState& s) { return ModelOf(s.identity.variant, s.familyCell); }

// The one test of "device code 12 and variant v".
inline bool IsCode12Variant(const DeviceIdentity& id, int variant) {
  return id.deviceCode == 12 && id.variant == variant;
}
// The variant row of a unit with device code 12; nullptr otherwise.
const VariantRow* Code12Row(const DeviceIdentity& id);
// Data bytes of one measurement frame: 5 on device code 11, else the row's.
int FrameDataLength(const DeviceIdentity& id);
// Whether "$D" answers four switch bytes.
bool LongSwitchAnswer(const DeviceIdentity& id);
// Channels that carry a trip (1 or 2).
int TripChannels(const DeviceIdentity& id);

// Demonstration models listed by the switch wizard (15 slots used).
struct DemoModel {
  const char* id;
  bool hasOutputLabels;  // "0-20 mA", "4-20 mA", "0-10 V", "0-5 V"; not the
                         // D models, whose inputs are voltages or currents
  bool doublerEntry;     // the input list ends with "DOUBLER" (KRV2311D)
};
extern const std::array<DemoModel, 15> kDemoModels;
QStringList DemoOutputLabels(const DemoModel& m);

} // namespace pv

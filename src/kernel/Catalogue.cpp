#include "kernel/Catalogue.h"

namespace pv {

// span, zero points; frame bytes; long "$D"; trip block, trip channels;
// family in cell 4; signed words; frequency input; physical scale
const std::array<VariantRow, 8> kVariants = {{
    {63, 15, 14, true, 10, 1, false, true, false, false},   // 0: trip block on cells 10..15
    {63, 15, 7, false, 28, 1, false, true, false, false},   // 1
    {63, 15, 7, false, 28, 1, true, true, false, false},    // 2
    {63, 15, 7, false, 28, 1, true, true, false, false},    // 3
    {16, 16, 7, false, 28, 1, true, true, false, false},    // 4
    {16, 16, 13, false, 28, 1, true, true, false, true},    // 5: inputs in the frame too
    {63, 15, 7, false, 28, 1, true, true, false, false},    // 6
    {63, 1, 14, true, 28, 2, false, false, true, false},    // 7: frequency, unsigned words
}};

const VariantRow* FindVariant(int variant) {
  if (variant < 0 || variant >= static_cast<int>(kVariants.size())) return nullptr;
  return &kVariants[static_cast<size_t>(variant)];
}

// id, variant, family, inputs, second output, D model
const std::array<ModelRow, 18> kModels = {{
    {"KRV2210", 0, 0, 1, true, false},  // the second output repeats or complements the input
    {"KRV2211A", 2, 96, 1, false, false},
    {"KRV2211B", 3, 96, 1, false, false},
    {"KRV2211C", 6, 96, 1, false, false},
    {"KRV2211D", 4, 96, 1, false, true},
    {"KRV2212A", 2, 0, 2, true, false},
    {"KRV2212B", 3, 0, 2, true, false},
    {"KRV2212C", 6, 0, 2, true, false},
    {"KRV2212D", 4, 0, 2, true, true},
    {"KRV2311A", 2, 32, 1, true, false},  // one input, two outputs: the bench calibrates both
    {"KRV2311B", 3, 32, 1, true, false},
    {"KRV2311C", 6, 32, 1, true, false},
    {"KRV2311D", 4, 32, 1, true, true},
    {"KRV2312A", 2, 64, 2, true, false},
    {"KRV2312B", 3, 64, 2, true, false},
    {"KRV2312C", 6, 64, 2, true, false},
    {"KRV2312D", 5, 64, 2, true, true},
    {"KRV2220", 7, 0, 1, true, false},  // channel B is the digital output of the one input
}};

int CatalogueIndex(QStringView modelId) {
  for (size_t i = 0; i < kModels.size(); ++i)
    if (modelId == QLatin1String(kModels[i].id)) return static_cast<int>(i);
  return -1;
}

const ModelRow* FindModel(QStringView modelId) {
  for (const ModelRow& m : kModels)
    if (modelId.compare(QLatin1String(m.id), Qt::CaseInsensitive) == 0) return &m;
  return nullptr;
}

QStringList ModelIds() {
  QStringList ids;
  for (const ModelRow& m : kModels) ids << QLatin1String(m.id);
  return ids;
}

QString FamilyPrefix(uint8_t cell4) {
  switch (cell4 & 96) {
    case 0: return QStringLiteral("KRV2212");
    case 32: return QStringLiteral("KRV2311");
    case 64: return QStringLiteral("KRV2312");
    default: return QStringLiteral("KRV2211");
  }
}

QString IdentifyModel(uint8_t variant, uint8_t cell4) {
  switch (variant) {
    case 0:
    case 1: return QStringLiteral("KRV2210");
    case 2: return FamilyPrefix(cell4) + 'A';
    case 3: return FamilyPrefix(cell4) + 'B';
    case 4: return FamilyPrefix(cell4) + 'D';
    case 5: return QStringLiteral("KRV2312D");
    case 6: return FamilyPrefix(cell4) + 'C';
    case 7: return QStringLiteral("KRV2220");
    default: return FamilyPrefix(cell4);
  }
}

const ModelRow* ModelOf(uint8_t variant, uint8_t cell4) {
  const int i = CatalogueIndex(IdentifyModel(variant, cell4));
  return i < 0 ? nullptr : &kModels[static_cast<size_t>(i)];
}

const VariantRow* Code12Row(const DeviceIdentity& id) {
  return id.deviceCode == 12 ? FindVariant(id.variant) : nullptr;
}

int FrameDataLength(const DeviceIdentity& id) {
  if (id.deviceCode == 11) return 5;
  const VariantRow* row = FindVariant(id.variant);
  return row ? row->frameLength : 7;
}

bool LongSwitchAnswer(const DeviceIdentity& id) {
  // Variant 7 always answers long; variant 0 only in the programmable generation.
  if (id.variant == 7) return true;
  const VariantRow* row = Code12Row(id);
  return row && row->longSwitchAnswer;
}

int TripChannels(const DeviceIdentity& id) {
  const VariantRow* row = Code12Row(id);
  return row ? row->tripChannels : 1;
}

// id, output labels, doubler entry
const std::array<DemoModel, 15> kDemoModels = {{
    {"KRV2210", true, false},
    {"KRV2211A", true, false},
    {"KRV2211B", true, false},
    {"KRV2211C", true, false},
    {"KRV2211D", false, false},
    {"KRV2212A", true, false},
    {"KRV2212B", true, false},
    {"KRV2212C", true, false},
    {"KRV2212D", false, false},
    {"KRV2311A", true, false},
    {"KRV2311B", true, false},
    {"KRV2311C", true, false},
    {"KRV2311D", false, true},
    {"KRV2312D", false, false},
    {"KRV2220", true, false},
}};

QStringList DemoOutputLabels(const DemoModel& m) {
  if (!m.hasOutputLabels) return {};
  return {QStringLiteral("0-20 mA"), QStringLiteral("4-20 mA"), QStringLiteral("0-10 V"),
          QStringLiteral("0-5 V")};
}

} // namespace pv

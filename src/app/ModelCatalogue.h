#pragma once
// The eighteen sellable models and how a device identity names one of them.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace pv {

struct AppState;

// Catalogue order: the index selects the model caption (brand base + 10 + index).
extern const std::array<const char*, 18> kModelCatalogue;

// Family prefix from cell 4 of bank 0 (bits 5 and 6).
QString FamilyPrefix(uint8_t cell4);

// Model id for a variant; cell 4 matters only for variants 2..6. A variant
// outside 0..7 gives the bare prefix, which names no model.
QString IdentifyModel(uint8_t variant, uint8_t cell4);

// Catalogue index of a model id, or -1.
int CatalogueIndex(const QString& modelId);

// Caption of a catalogue row in the selected brand, or empty when absent.
QString ModelCaption(const AppState& s, int catalogueIndex);

// Demonstration models listed by the switch wizard (15 slots used).
struct DemoModel {
  const char* id;
  uint8_t channels;
  uint8_t secondCount;  // 2 or 1, see the switch wizard
  bool flag1, flag2, flag3;
  bool hasOutputLabels;  // "0-20 mA", "4-20 mA", "0-10 V", "0-5 V"
  bool dModel;           // the D models: voltage / current inputs
};
extern const std::array<DemoModel, 15> kDemoModels;
QStringList DemoOutputLabels(const DemoModel& m);

} // namespace pv

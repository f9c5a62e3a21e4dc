#include "app/ModelCatalogue.h"
#include "app/AppState.h"
#include "text/StringTable.h"

namespace pv {

const std::array<const char*, 18> kModelCatalogue = {
    "KRV2210",  "KRV2211A", "KRV2211B", "KRV2211C", "KRV2211D", "KRV2212A",
    "KRV2212B", "KRV2212C", "KRV2212D", "KRV2311A", "KRV2311B", "KRV2311C",
    "KRV2311D", "KRV2312A", "KRV2312B", "KRV2312C", "KRV2312D", "KRV2220"};

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

int CatalogueIndex(const QString& modelId) {
  for (size_t i = 0; i < kModelCatalogue.size(); ++i)
    if (modelId == QLatin1String(kModelCatalogue[i])) return static_cast<int>(i);
  return -1;
}

QString ModelCaption(const AppState& s, int catalogueIndex) {
  if (catalogueIndex < 0) return {};
  return FindText(BrandBase(s.brandIndex) + brand::FirstCaption + catalogueIndex).value_or(QString());
}

// id, channels, second count, flags 1..3, output labels, D model
const std::array<DemoModel, 15> kDemoModels = {{
    {"KRV2210", 1, 2, true, true, true, true, false},
    {"KRV2211A", 1, 1, true, true, false, true, false},
    {"KRV2211B", 1, 1, true, true, false, true, false},
    {"KRV2211C", 1, 1, true, true, false, true, false},
    {"KRV2211D", 1, 1, true, true, false, false, true},
    {"KRV2212A", 2, 2, true, true, false, true, false},
    {"KRV2212B", 2, 2, true, true, false, true, false},
    {"KRV2212C", 2, 2, true, true, false, true, false},
    {"KRV2212D", 2, 2, true, true, false, false, true},
    {"KRV2311A", 1, 2, true, true, false, true, false},
    {"KRV2311B", 1, 2, true, true, false, true, false},
    {"KRV2311C", 1, 2, true, true, false, true, false},
    {"KRV2311D", 1, 2, true, true, false, false, true},
    {"KRV2312D", 2, 2, true, true, false, false, true},
    {"KRV2220", 1, 1, true, true, false, true, false},
}};

QStringList DemoOutputLabels(const DemoModel& m) {
  if (!m.hasOutputLabels) return {};
  return {QStringLiteral("0-20 mA"), QStringLiteral("4-20 mA"), QStringLiteral("0-10 V"),
          QStringLiteral("0-5 V")};
}

} // namespace pv

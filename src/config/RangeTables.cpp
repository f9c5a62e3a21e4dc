#include "config/RangeTables.h"
#include "kernel/Catalogue.h"
#include "kernel/AppState.h"

namespace pv {

namespace {
QString U(const char* s) { return QString::fromUtf8(s); }
} // namespace

RangeTables::RangeTables() {
  // name, decimals, unit, lower, upper, min span, variant
  const InputRange in[] = {
      {U("EEPROM"), 0, U(""), -32000, 32000, 0, U("0")},
      {U("90 mV"), 2, U("mV"), -100, 90, 5, U("2")},
      {U("200 mV"), 2, U("mV"), -100, 200, 10, U("2")},
      {U("800 mV"), 1, U("mV"), -100, 800, 20, U("2")},
      {U("10 V"), 3, U("V"), 0, 10, 1, U("4")},
      {U("20 mA"), 3, U("mA"), 0, 20, 1, U("4")},
      {U(""), 0, U(""), -32000, 32000, 0, U("255")},
      {U("Tc J"), 1, U("\u00b0C"), -200, 1200, 100, U("2")},
      {U("Tc K"), 1, U("\u00b0C"), -200, 1300, 100, U("2")},
      {U("Tc R"), 1, U("\u00b0C"), 0, 1750, 400, U("2")},
      {U("Tc S"), 1, U("\u00b0C"), 0, 1750, 400, U("2")},
      {U("Tc T"), 1, U("\u00b0C"), -200, 400, 100, U("2")},
      {U("Tc B"), 1, U("\u00b0C"), 0, 1800, 400, U("2")},
      {U("Tc E"), 1, U("\u00b0C"), -200, 1000, 100, U("2")},
      {U("Tc N"), 1, U("\u00b0C"), -200, 1300, 100, U("2")},
      {U(""), 0, U(""), -32565, 32565, 0, U("255")},
      {U("Res2K"), 1, U("Ohm"), 0, 2000, 500, U("3")},
      {U("Res500"), 1, U("Ohm"), 0, 500, 50, U("3")},
      {U("Pt 100"), 1, U("\u00b0C"), -200, 850, 50, U("3")},
      {U("Ni 100"), 1, U("\u00b0C"), -60, 180, 50, U("3")},
      {U("Pt 1K"), 1, U("\u00b0C"), -200, 185, 30, U("3")},
      {U("Ni 1K"), 1, U("\u00b0C"), -60, 150, 30, U("3")},
      {U("Pot500"), 1, U("%"), 0, 100, 5, U("3")},
      {U("Pot2K"), 1, U("%"), 0, 100, 5, U("6")},
      {U("KTY81-220"), 1, U("\u00b0C"), -55, 150, 50, U("6")},
      {U("KTY84-150"), 1, U("\u00b0C"), -40, 250, 50, U("6")},
      {U("Cost10K"), 1, U("\u00b0C"), 0, 110, 50, U("6")},
      {U("Cost1K"), 1, U("\u00b0C"), -30, 40, 25, U("6")},
      {U("KTY83-110"), 1, U("\u00b0C"), -55, 170, 50, U("6")},
      {U("Vish10K"), 1, U("\u00b0C"), -40, 120, 50, U("6")},
      {U(""), 0, U(""), -32565, 32565, 0, U("255")},
      {U(""), 0, U(""), -32565, 32565, 0, U("255")},
      // Offered only on variant 6 hardware revision 2 (see InputList).
      {U("Res300K"), 1, U("KOhm"), 0, 300, 2, U("100")},
      {U("Freq"), 0, U("Hz"), 0.1, 20000, 1, U("7")},
  };
  for (size_t i = 0; i < std::size(in); ++i) input[i] = in[i];  // rows 34..51 stay unset

  const FrequencySensor fr[] = {
      {U("NAMUR"), 50, U("mA"), 1000},   {U("Tacho"), 0, U("mV"), 100000},
      {U("TTL"), 100, U("V"), 100000},   {U("PNP"), 100, U("V"), 3480},
      {U("NPN"), 100, U("V"), 3480},     {U("---"), 0, U(""), 0},
      {U("Volt"), 100, U("V"), 1000},
  };
  for (size_t i = 0; i < std::size(fr); ++i) frequency[i] = fr[i];

  output = {{{U("0-20 mA"), U("mA"), 0, 20, 4},
             {U("4-20 mA"), U("mA"), 4, 20, 4},
             {U("0-10 V"), U("V"), 0, 10, 1},
             {U("0-5 V"), U("V"), 0, 5, 1}}};

  const OutputRange sw[] = {
      {U("0-20 mA"), U("mA"), 0, 20, 0}, {U("4-20 mA"), U("mA"), 4, 20, 0},
      {U("0-10 V"), U("V"), 0, 10, 0},   {U("2-10 V"), U("V"), 2, 10, 0},
      {U("0-5 V"), U("V"), 0, 5, 0},     {U("1-5 V"), U("V"), 1, 5, 0},
  };
  for (size_t i = 0; i < switchOutput.size(); ++i) {
    if (i < std::size(sw)) switchOutput[i] = sw[i];
    else if (i < 16) switchOutput[i] = {U(""), U(""), -32565, 32565, 0};
  }

  overRange = {{{U("\u00b10%"), 0}, {U("\u00b12.5%"), 2.5}, {U("\u00b15.0%"), 5}, {U("\u00b110%"), 10}}};
}

bool RangeTables::InputAvailable(int row, const DeviceIdentity& id) const {
  if (row < 0 || row >= static_cast<int>(input.size())) return false;
  int t = id.variant;
  if (id.deviceCode == 12 && t == 5) t = 4;
  const QString& v = input[row].variant;
  bool ok = false;
  if (t == 0) ok = true;
  if (v == QString::number(t)) ok = true;
  if (v == QLatin1String("0")) ok = true;
  if (v == QLatin1String("255")) ok = false;
  if (t == 0 && row >= 24 && row <= 27) ok = false;
  return ok;
}

int RangeTables::InputRowByName(const QString& name) const {
  for (size_t i = 0; i < input.size(); ++i)
    if (input[i].name == name) return static_cast<int>(i);
  return -1;
}

int RangeTables::OutputRowByName(const QString& name) const {
  for (size_t i = 0; i < output.size(); ++i)
    if (output[i].name == name) return static_cast<int>(i);
  return -1;
}

double RangeTables::OverRangePercentByName(const QString& name) const {
  for (const auto& r : overRange)
    if (r.name == name) return r.percent;
  return -1;
}

int RangeTables::OverRangeRowByPercent(double p) const {
  for (size_t i = 0; i < overRange.size(); ++i)
    if (overRange[i].percent == p) return static_cast<int>(i);
  return -1;
}

QStringList RangeTables::InputList(const DeviceIdentity& id) const {
  QStringList out;
  for (int i = 1; i <= rows::Freq; ++i) {
    // "Res300K" is listed only for variant 6 units of hardware revision 2.
    // Other revisions still decode code 18 as this row, so a unit that holds
    // it shows it (and a write keeps it) although the list does not offer it.
    if (i == rows::Res300K && !(IsCode12Variant(id, 6) && id.hardwareRevision == 2))
      continue;
    // Res300K carries variant "100", so it is offered by the exception above
    // (and on variant 0, which offers every row that is not a separator).
    const bool offered = InputAvailable(i, id) ||
                         (i == rows::Res300K && IsCode12Variant(id, 6));
    if (offered && !input[i].name.isEmpty()) out << input[i].name;
  }
  return out;
}

QStringList RangeTables::FrequencyList() const {
  QStringList out;
  for (int i = 0; i <= 6; ++i) out << frequency[i].name;
  return out;
}

QStringList RangeTables::OutputList() const {
  QStringList out;
  for (const auto& r : output) out << r.name;
  return out;
}

QStringList RangeTables::OverRangeList() const {
  QStringList out;
  for (const auto& r : overRange) out << r.name;
  return out;
}

} // namespace pv

#pragma once
// The decoded meaning of a unit's switch banks, for the command-line tool:
// input, output, option, span and zero with their values and units, and the
// range check. Built from a SwitchWizardModel, so it says exactly what the
// switch wizard window would show.
#include "switches/SwitchLayouts.h"

#include <QJsonObject>
#include <QString>
#include <QVector>
#include <optional>

namespace pv {

struct AppState;
class RangeTables;
class Prompter;
class SwitchUnit;
class SwitchWizardModel;

struct SwitchChannelReport {
  QString input;          // selector text, "" when the unit's code is not offered
  QString output;
  QString optionCaption;  // "Option", "CJC", "Wires", "Output"...
  QString option;         // the caption of the set position ("On", "Int", "2w"...)
  // The switches leave the channel to the configuration stored by software
  // ("EEPROM"); its ranges are then not the switches' business.
  bool software = false;
};

struct SwitchReport {
  SwitchBytes bytes{};
  QString layout;  // encoder name, "" for an unknown variant
  QVector<SwitchChannelReport> channels;  // one, or two on two-channel units
  std::optional<int> spanIndex, zeroIndex;  // none when every channel is software-configured
  QString spanText, zeroText;              // as listed
  std::optional<double> spanValue, zeroValue;  // in unit; hertz for frequency units
  QString unit;
  std::optional<int> multiplier;  // factor of the frequency unit
  QString check;                  // "OK", "ERR" or "" (nothing to check)
  QString limits;
};

// Channel c is left to the stored configuration: its input field is 0
// ("EEPROM"); on the frequency unit, whose input switches name a sensor, the
// whole second byte is 0 (span entry "EEPROM" with the first multiplier).
bool SoftwareConfigured(SwitchLayout layout, const SwitchBytes& bytes, int c);

SwitchReport DescribeSwitches(const SwitchWizardModel& model, const RangeTables& tables);
// Reads the unit's banks and tables (as after a configuration read) and
// describes them. The communication error flag tells whether the read worked.
SwitchReport ReadSwitchReport(AppState& state, const RangeTables& tables, SwitchUnit& unit,
                              Prompter& prompter);

QString RenderSwitchReport(const SwitchReport& r);  // plain text, one item a line
QJsonObject SwitchReportJson(const SwitchReport& r);

} // namespace pv

#pragma once
// What the configuration editor shows, as plain data: the configuration
// record (the unit's values), the texts of its number fields, and the rest of
// the window (lists, captions, which frames are visible). The change rules
// (EditorRules.h) and the write checks (WriteChecks.h) work on it; the window
// only paints it.
//
// Every number field of the window is one value of the record (Field). Its
// text is made from the value when the value comes from the unit, a file or
// a rule; while the user types it is the user's text, and the record takes
// the text's leading number.
#include "config/CellMap.h"

#include <QString>
#include <QStringList>
#include <array>

namespace pv {

// The number fields, in pairs of channel A then channel B where a channel
// has one (Of() picks channel B's). The physical scale follows the record's
// order: max A, min A, max B, min B, out max A, out min A, out max B, out min B.
enum class Field : int {
  InputMaxA, InputMaxB, InputMinA, InputMinB, OutputMaxA, OutputMaxB, OutputMinA, OutputMinB,
  OffsetA, OffsetB, TripHighA, TripHighB, TripLowA, TripLowB,
  TripDelay, ResponseTime, Filter, AuxFrequency, Trigger,
  PhysicalMaxA, PhysicalMinA, PhysicalMaxB, PhysicalMinB,
  PhysicalOutMaxA, PhysicalOutMinA, PhysicalOutMaxB, PhysicalOutMinB,
};
constexpr int kFieldCount = 27;
// Channel c's field of a pair named by its channel A field.
constexpr Field Of(Field a, int c) { return static_cast<Field>(static_cast<int>(a) + c); }
// Value k of the physical scale.
constexpr Field PhysicalField(int k) { return static_cast<Field>(static_cast<int>(Field::PhysicalMaxA) + k); }
constexpr int Index(Field f) { return static_cast<int>(f); }

using FieldTexts = std::array<QString, kFieldCount>;

// The control that shows the field: "txt_Input_max_0", "txt_soglia_Delay".
QString FieldControl(Field f);
double ValueOf(const ConfigRecord& r, Field f);
// Whole-number fields (filter, auxiliary frequency) take the nearest whole
// number; a value no whole number holds becomes -1, which no cell takes.
void SetValueOf(ConfigRecord& r, Field f, double value);

// The text of a value read from the unit: ranges and the trip delay
// "#0.###", offsets and the response time "#0.0", thresholds and the
// physical scale the shortest text that gives back the same Float24.
QString ReadText(const ConfigRecord& r, Field f, const CellLayout& layout, const RangeTables& tables);

struct ComboField {
  QStringList items;
  QString text;  // may be a name not in items (a file for another unit)
  int index() const { return items.indexOf(text); }
};

// Names of the eight operations of the options window, by number.
extern const std::array<const char*, 8> kOperationCaptions;

// The window besides the values, named after its controls.
struct EditorView {
  // The lists and the text each shows (the record's row by name).
  std::array<ComboField, 2> cmbProgIn, cmbProgOut, cmbOverRange;
  ComboField cmbFreqType;
  bool chkHSEnabled = true;

  // Captions
  std::array<QString, 8> lblUMisIn;   // 2c, 2c + 1; 4..7 the scaling panel's
  std::array<QString, 4> lblUMisOut;  // 2c, 2c + 1
  std::array<QString, 2> lblLimiteIn, lblSpanminIn, lblLimiteOut, lblSpanminOut;
  std::array<QString, 4> lblUMisS;
  QString lblUMisTrig;
  std::array<QString, 2> cmdOperatore{QStringLiteral("= A"), QStringLiteral("= A")};

  // Which frames and controls are shown
  std::array<bool, 2> frmCjc{}, frmFili{}, frmBreak{}, frmFunz{};
  std::array<bool, 2> frmOptions{true, true}, frmOutput{true, true}, frmInput{true, true};
  std::array<bool, 6> optFunzVisible{true, true, true, true, true, true};
  bool cmdMath = false;
  bool frmModo = false;     // scaling panel
  bool frmFreq = false;     // frequency settings (variant 7)
  bool auxVisible = false;  // lbl_aux, txt_aux_freq, lbl_uMisAux, txt_Trig, lbl_trig, lbl_uMisTrig
  bool frmOpt = false;      // response time (code 12, variant 0, revision 4 and later)
  bool frmFisico = false;   // physical scale (code 12, variant 5)
  bool frmSoglia = true;

  // The scaling panel's copies of the ranges (txt_Input_max_2 + c...).
  std::array<QString, 2> panelInputMax, panelInputMin, panelOutputMax, panelOutputMin;

  // Options window (frm_Oper)
  int optionsChannel = 0;
  bool frame1 = false;  // the extra value, operations 6 and 7 only
  QString txtOpzione;
};

struct EditorState {
  ConfigRecord record;
  FieldTexts texts;
  EditorView view;
};

// The record of an editor nobody has filled: no row chosen in any list.
ConfigRecord BlankRecord();

} // namespace pv

#pragma once
// The configuration editor without its window. Every field the window shows
// is a member of EditorFields, named after its control (txt_Input_max(c) is
// txtInputMax[c], opt_CJC(2c + k) is optCJC[c] == k...); the window copies
// widget values in and out and calls the rule methods for its events. After
// every rule the model emits changed(), and the window repaints from fields.
//
// Option groups are stored per channel as the chosen button's offset within
// the channel's group: optFili[c] == 2 means opt_Fili(3c + 2), "3 wires".
// Values a unit may hold but no button names (wires 3, functions 3..7) are
// kept as they are so that a read and a write give back the same cells.
#include "kernel/AppState.h"
#include "kernel/Catalogue.h"
#include "config/CellMap.h"
#include "config/RangeTables.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <map>
#include <optional>
#include <vector>

namespace pv {

struct ComboField {
  QStringList items;
  QString text;  // may hold a name not in items (a file for another unit)
  int index() const { return items.indexOf(text); }
};

// Names of the eight operations of the options window, by number.
extern const std::array<const char*, 8> kOperationCaptions;

struct EditorFields {
  // Input and output ranges; indices 2 and 3 are the scaling-panel copies.
  std::array<QString, 4> txtInputMax, txtInputMin, txtOutputMax, txtOutputMin;
  std::array<ComboField, 2> cmbProgIn, cmbProgOut, cmbOverRange;
  ComboField cmbFreqType;

  std::array<QString, 2> txtOffset;
  std::array<int, 2> optCJC{};    // 0 external, 1 internal
  std::array<int, 2> optFili{};   // 0 = 2 wires, 1 = 4 wires, 2 = 3 wires
  std::array<int, 2> optBreak{};  // 0 up scale, 1 down scale
  std::array<int, 2> optFunz{};   // 0 linear, 1 tank, 2 square root
  std::array<int, 2> optTrip{};   // 0 maximum trip, 1 minimum trip
  std::array<int, 2> optRele{};   // 0 normally closed, 1 normally open

  bool chkDoubler = false, chkHS = false, chk50hz = false;
  bool chkHSEnabled = true;

  // Trips: index 1 is used on variant 7 only (both channels carry a trip).
  std::array<QString, 2> txtSogliaH, txtSogliaL;
  QString txtSogliaDelay;
  QString txtDelay;  // response time, seconds
  QString txtFilter, txtAuxFreq, txtTrig;
  // Physical scale: txtFisicoMax/Min use indices 2 (A) and 3 (B).
  std::array<QString, 4> txtFisicoMax, txtFisicoMin;
  std::array<QString, 2> txtFisicoOutMax, txtFisicoOutMin;

  // Captions
  std::array<QString, 8> lblUMisIn;   // 2c, 2c + 1; 4..7 scaling-panel copies
  std::array<QString, 4> lblUMisOut;  // 2c, 2c + 1
  std::array<QString, 2> lblLimiteIn, lblSpanminIn, lblLimiteOut, lblSpanminOut;
  std::array<QString, 4> lblUMisS;
  QString lblUMisTrig;
  std::array<QString, 2> cmdOperatore;

  // Visibility of frames and controls
  std::array<bool, 2> frmCjc{}, frmFili{}, frmBreak{}, frmFunz{};
  std::array<bool, 2> frmOptions{true, true}, frmOutput{true, true};
  std::array<bool, 2> frmInput{true, true};
  std::array<bool, 6> optFunzVisible{true, true, true, true, true, true};
  bool cmdMath = false;
  bool frmModo = false;   // scaling panel
  bool frmFreq = false;   // frequency settings (variant 7)
  bool auxVisible = false;  // lbl_aux, txt_aux_freq, lbl_uMisAux, txt_Trig, lbl_trig, lbl_uMisTrig
  bool frmOpt = false;    // response time (code 12, variant 0, revision 4 and later)
  bool frmFisico = false; // physical scale (code 12, variant 5)
  bool frmSoglia = true;

  // Options window (frm_Oper)
  int optionsChannel = 0;
  bool frame1 = false;  // the extra value, operations 6 and 7 only
  QString txtOpzione;
};

class EditorModel : public QObject {
  Q_OBJECT
public:
  EditorModel(AppState& state, RangeTables& tables, QObject* parent = nullptr);

  EditorFields f;

  AppState& state() { return state_; }
  const AppState& state() const { return state_; }
  RangeTables& tables() { return tables_; }
  const RangeTables& tables() const { return tables_; }

  // Fills the lists for the connected unit (input list per variant).
  void fillLists();

  // --- change rules ---
  void inputTypeChanged(int c);
  void outputTypeChanged(int c);
  void freqTypeChanged();
  void doublerClicked();
  void refreshVisibility();
  void copiaValori();
  void closeScalingPanel();
  // Convenience for windows and files: set a list's text and run its rule.
  void setInputType(int c, const QString& name);
  void setOutputType(int c, const QString& name);
  // Selects an input by its row: separator rows share one empty name, so a
  // file's row cannot be selected by name.
  void setInputRow(int c, int row);
  void setFreqType(const QString& name);

  // --- options window ---
  // Remembers c as the options channel; returns the operation to select.
  int openOptions(int c);
  void chooseOperation(int op);

  // Input row that rules and checks use for channel c: channel A's when
  // the doubler is checked (channel B's list then shows the doubler text).
  int inputRow(int c) const;
  int outputRow(int c) const;
  QString doublerText() const;
  bool isVariant(int v) const { return state_.identity.variant == v; }
  bool isCode12Variant(int v) const {
    return IsCode12Variant(state_.identity, v);
  }

  // Limits and span caption in the editor's format.
  static QString LimitsCaption(double lower, double upper, const QString& unit);
  static QString SpanCaption(double span, const QString& unit);

  // --- the typed record ---
  // Fills every field from a decoded record, runs the change rules once,
  // and remembers both: a field whose text is still the one shown here
  // gives back the record's exact value, not a rounded display.
  void load(const ConfigRecord& record);
  // The record the fields describe now.
  ConfigRecord record() const;
  const ConfigRecord& loaded() const { return loaded_; }
  // Whether the trip direction of channel c can be stored on this unit
  // (on variants 2..6 channel A's bit names the model family).
  bool tripDirectionOwned(int c) const;
  // Whether the doubler box can be stored on this unit.
  bool doublerOwned() const;

  // Whether the fields hold a configuration read from a unit or a file: the
  // start-up fields are blanks nobody chose, and would encode to cells of 0.
  bool hasConfiguration() const { return loadedFor_.has_value(); }
  // The unit identity the configuration was loaded for (the unit read, or
  // the one connected when a file was accepted).
  const std::optional<DeviceIdentity>& loadedFor() const { return loadedFor_; }
  // A file's record was applied to the fields.
  void markLoaded() { loadedFor_ = state_.identity; }
  // The fields as they were right after the last load: a text still the
  // same keeps the loaded value exactly.
  const EditorFields& loadedFields() const { return loadedFields_; }

  // The cells the unit held at the last read: the base a write encodes onto.
  CellImage base{};
  bool baseValid = false;

  void notify() { emit changed(); }

signals:
  void changed();

private:
  void outputCaptions(int c);
  void applyValues(const ConfigRecord& r);

  AppState& state_;
  RangeTables& tables_;
  ConfigRecord loaded_;
  EditorFields loadedFields_;
  std::optional<DeviceIdentity> loadedFor_;
  // The row last selected by number, while the list still shows its name.
  std::array<int, 2> pickedRow_{-1, -1};
  std::array<QString, 2> pickedText_;
};

} // namespace pv

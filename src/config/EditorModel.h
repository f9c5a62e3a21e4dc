#pragma once
// The configuration editor without its window. It holds the configuration
// record (the unit's values) and what the window shows for it (EditorState,
// EditorState.h). The window paints view() and text(), and hands every user
// edit to a setter below; a setter with a change rule (EditorRules.h) runs it
// and emits changed(), after which the window repaints.
//
// A number field's text is made from its value when the value is loaded. A
// text the user types gives the record its leading number; typed back to
// the text shown after the last read it gives back the value read, exactly.
#include "config/EditorRules.h"
#include "kernel/AppState.h"

#include <QObject>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace pv {

class EditorModel : public QObject {
  Q_OBJECT
public:
  EditorModel(AppState& state, RangeTables& tables, QObject* parent = nullptr);

  AppState& state() { return state_; }
  const AppState& state() const { return state_; }
  RangeTables& tables() { return tables_; }
  const RangeTables& tables() const { return tables_; }

  // The values: what a write encodes and the marks compare with the unit.
  const ConfigRecord& record() const { return e_.record; }
  // The values as the fields show them: a threshold read as 0.0999994 shows
  // "0.1" and is 0.1 here. What the checks judge and a file saves.
  ConfigRecord shown() const;
  const QString& text(Field f) const { return e_.texts[static_cast<size_t>(Index(f))]; }
  const FieldTexts& texts() const { return e_.texts; }
  const EditorView& view() const { return e_.view; }

  // Fills the lists for the connected unit (input list per variant).
  void fillLists();

  // --- the user's edits ---
  void setText(Field f, const QString& text);
  // A list entry chosen by name; runs the list's rule.
  void setInputType(int c, const QString& name);
  // By row: separator rows share one empty name.
  void setInputRow(int c, int row);
  void setOutputType(int c, const QString& name);
  void setOverRange(int c, const QString& name);
  void setFreqType(const QString& name);
  // An option button: button k of channel c's group (&ChannelConfig::cjc...).
  void setChoice(int c, int ChannelConfig::*group, int k);
  void setDoubler(bool on);
  void setHighSpeed(bool on);
  void setFilter50Hz(bool on);
  void setOptionText(const QString& text);

  void refreshVisibility();
  void copiaValori();
  void closeScalingPanel();
  // Remembers c as the options channel; returns the operation to select.
  int openOptions(int c);
  void chooseOperation(int op);
  // Channel B shows channel A's input range: the write checks judged it so.
  void repeatInputOfA();

  // --- loading ---
  // A record read from the unit: every field and its text, the unit's
  // values kept as read (the rules only caption and show).
  void load(const ConfigRecord& record);
  // A file's record (ConfigFile.h): the fields the file holds show its
  // numbers exactly; the option values go to the channel settings.
  void loadFile(const ConfigRecord& record, const std::vector<Field>& fileFields,
                const std::array<uint8_t, 2>& optionValues);

  // Whether a channel's trip direction, and the doubler, can be stored on
  // the connected unit (on variants 2..6 cell 4's bits name the family).
  bool tripDirectionOwned(int c) const;
  bool doublerOwned() const;

  // Whether the editor holds a configuration read from a unit or a file:
  // the start-up fields are blanks nobody chose, and would encode to cells
  // of 0.
  bool hasConfiguration() const { return loadedFor_.has_value(); }
  // The unit identity the configuration was loaded for (the unit read, or
  // the one connected when a file was accepted).
  const std::optional<DeviceIdentity>& loadedFor() const { return loadedFor_; }
  void markLoaded() { loadedFor_ = state_.identity; }

  // The cells the unit held at the last read: the base a write encodes onto.
  CellImage base{};
  bool baseValid = false;

  void notify() { emit changed(); }

signals:
  void changed();

private:
  RuleContext context() const { return {state_, tables_}; }
  void apply(EditorState e);

  AppState& state_;
  RangeTables& tables_;
  EditorState e_;
  // The last read, and the texts it showed.
  ConfigRecord loaded_;
  FieldTexts loadedTexts_;
  std::optional<DeviceIdentity> loadedFor_;
};

} // namespace pv

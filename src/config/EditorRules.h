#pragma once
// The editor's change rules as functions of what the editor shows: each takes
// an EditorState and gives back the state the rule leaves, nothing else
// changes. A rule that writes a number field (an output type's limits, a
// sensor's trigger) writes its text and the value the text reads as.
//
// Input type of channel c: the unit and limit captions of its row, then the
// visibility refresh. The visibility refresh shows the frames the rows and
// the unit have, and takes away what a row cannot have: internal
// compensation on "10 V" and "20 mA", high speed on thermocouple,
// resistance and potentiometer rows. Loading a configuration shows the
// frames only (Frames): the unit's own values stay.
#include "config/EditorState.h"
#include "kernel/AppState.h"

namespace pv {

// What a rule reads besides the editor: the unit, the channel selector and
// the language (app), and the range tables.
struct RuleContext {
  const AppState& app;
  const RangeTables& tables;
};

// The input row the rules and checks use for channel c: channel A's while
// the doubler is checked.
int InputRowOf(const ConfigRecord& r, int c);

EditorState InputTypeChanged(EditorState e, int c, const RuleContext& x);
EditorState OutputTypeChanged(EditorState e, int c, const RuleContext& x);
EditorState FreqTypeChanged(EditorState e, const RuleContext& x);
EditorState DoublerClicked(EditorState e, const RuleContext& x);
EditorState RefreshVisibility(EditorState e, const RuleContext& x);
// The scaling panel: copies of both channels' ranges and units, shown.
EditorState CopiaValori(EditorState e);

// The parts the rules are made of, for a load that keeps the unit's values.
EditorView Frames(const ConfigRecord& r, EditorView v, const RuleContext& x);
ConfigRecord ClearedByInput(ConfigRecord r, const RuleContext& x);
EditorView InputCaptions(const ConfigRecord& r, EditorView v, int c, const RuleContext& x);
EditorView OutputCaptions(const ConfigRecord& r, EditorView v, int c, const RuleContext& x);
EditorView FrequencyCaptions(const ConfigRecord& r, EditorView v, const RuleContext& x);
// The lists' texts for the record's rows; channel B's list shows the
// doubler's text in the current language while the doubler is checked.
EditorView ListTexts(const ConfigRecord& r, EditorView v, const RuleContext& x);

} // namespace pv

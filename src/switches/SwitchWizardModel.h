#pragma once
// Everything the switch wizard window shows, and the rules behind its
// controls. The window moves values between its widgets and this model and
// repaints on changed(); no rule lives in the window.
//
// Control names of the window and what drives them:
//   cmb_SW_in(c)      input(c)           inputSelected(c, index)
//   cmb_sw_Out(c)     output(c)          outputSelected(c, index)
//   Opzione(2c, 2c+1) option(c)          optionSelected(c, on)
//   frm_optionSw(c)   optionCaptions(c)
//   lst_span/lst_zero spanList/zeroList  spanClicked, zeroClicked, storeDefault
//   cmb_divider       multiplier()       multiplierSelected(index)
//   opt_far(0/1)      fahrenheit()       temperatureUnitSelected(f)
//   txt_sw2           sw2Text()
//   visualizza_limiti limitsText()
//   Spia + label      check()
//   dipN_on/off       banks()
//   aiuto_switch      enterDemo()        close_aiuto_switch  leaveDemo()
//   aiuto_modello     demoModelList()    chooseDemoModel(slot)
//
// Input, output and option changes (and the temperature unit, which reruns
// the input change) act only while AppState::switchEventsEnabled is set;
// otherwise only the selection is recorded. In demonstration mode the
// chosen demo model's variant stands in for the unit's, and no unit is
// asked for anything.
#include "switches/SwitchLayouts.h"
#include "switches/SwitchRanges.h"
#include "switches/SwitchTables.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

namespace pv {

struct AppState;
struct DeviceIdentity;
class RangeTables;
class Prompter;
class SwitchUnit;

class SwitchWizardModel : public QObject {
  Q_OBJECT
public:
  struct Selector {
    QStringList items;
    int index = -1;  // -1: no entry chosen
    QString text;    // what the box shows ("Select:" before a demo choice)
  };
  struct OptionCaptions {
    QString frame, off, on;
  };
  struct Visibility {
    std::array<bool, 3> bank{true, true, true};
    std::array<bool, 2> inputFrame{true, false};
    std::array<bool, 2> outputFrame{true, true};
    std::array<bool, 2> optionFrame{true, false};
    bool selectors = true;      // the input and output boxes themselves
    bool optionButtons = true;
    bool spanList = true, zeroList = true, spanLabel = true, zeroLabel = true;
    bool channelLabels = false, multiplierFrame = false, checkFrame = true;
    bool limitsText = false;
    bool wizardButton = true, backButton = false, modelList = false;
  };
  struct BankView {
    QString caption;
    int switches = 8;
    std::array<bool, 8> on{};
    bool visible = true;
  };
  enum class StoreResult { NotApplicable, Cancelled, NotANumber, OutOfRange, Stored };

  SwitchWizardModel(AppState& state, const RangeTables& tables, Prompter& prompter,
                    QObject* parent = nullptr);

  // The connected unit; null while none is (demonstration mode needs none).
  void setUnit(SwitchUnit* unit) { unit_ = unit; }

  // --- what the window shows ------------------------------------------------
  const Selector& input(int ch) const { return input_[ch & 1]; }
  const Selector& output(int ch) const { return output_[ch & 1]; }
  bool option(int ch) const { return option_[ch & 1]; }
  const OptionCaptions& optionCaptions(int ch) const { return captions_[ch & 1]; }
  const SwitchList& spanList() const { return span_; }
  const SwitchList& zeroList() const { return zero_; }
  int multiplier() const { return multiplier_; }  // -1 until chosen or read
  static QStringList multiplierItems();            // "1000", "100", "10", "1"
  bool fahrenheit() const { return fahrenheit_; }
  const QString& sw2Text() const { return sw2Text_; }
  const QString& limitsText() const { return limits_; }
  CheckResult check() const { return check_; }
  const Visibility& visibility() const { return vis_; }
  std::array<BankView, 3> banks() const;
  const SwitchBytes& bytes() const;
  bool demoMode() const;
  int demoSlot() const { return demoSlot_; }
  QStringList demoModelList() const;  // slots 0..14
  QString demoModelListText() const;

  // Identity the rules work with: the unit's, or in demonstration mode code
  // 12 with the demo model's variant.
  DeviceIdentity effectiveIdentity() const;
  // Row of the input range table of input selector A; 0 when empty or not
  // a table name.
  int inputCodeA() const;

  // --- operations -----------------------------------------------------------
  // After a configuration read: reads the banks, decodes them into the
  // selectors and lists, and checks the range. Leaves demonstration mode.
  void ReadSwitch();
  // Frames, lists and captions for the current unit and input.
  void ImpostaSwOpz();

  void inputSelected(int ch, int index);
  void outputSelected(int ch, int index);
  void optionSelected(int ch, bool on);
  void spanClicked(int index);
  void zeroClicked(int index);
  void multiplierSelected(int index);
  void temperatureUnitSelected(bool fahrenheit);
  // Double click on a list entry: entry 0 asks for and stores a new default.
  StoreResult storeDefault(Table which, int entry);

  void enterDemo();               // "Wizard ->"
  void chooseDemoModel(int slot); // aiuto_modello
  void leaveDemo();               // "<- Back "

signals:
  void changed();

private:
  void rangeCheck();
  class Batch;  // emits changed() once per outermost operation
  void touch();
  // "Select:" ("Select" on the frequency unit) in the current language.
  QString selectPrompt(int slot) const;
  // The unit's switches leave its configuration to the cells (input code
  // "EEPROM"): the selectors say so, the limits text shows what was read.
  void showSoftwareConfigured();
  QString softwareText() const;
  bool software_ = false;

  std::optional<SwitchLayout> layout() const;
  CodeMapping mapping() const;
  int outputIndex(int ch) const;
  ChannelDip channelDip(int ch) const;
  void encode(SwitchLayout layout);
  bool fillUnitLists();
  void fillDemoLists();
  void fillUnitSelectors(const DeviceIdentity& id, SwitchLayout layout);
  void runInputChange();
  void refreshLimits();
  static void setText(Selector& s, const QString& text);
  static void setIndex(Selector& s, int index);
  static void clearSelector(Selector& s, bool keepItems);

  AppState& state_;
  const RangeTables& tables_;
  Prompter& prompter_;
  SwitchUnit* unit_ = nullptr;

  std::array<Selector, 2> input_, output_;
  std::array<bool, 2> option_{};
  std::array<OptionCaptions, 2> captions_;
  SwitchList span_, zero_;
  int multiplier_ = -1;
  bool fahrenheit_ = false;
  QString sw2Text_, limits_;
  CheckResult check_ = CheckResult::None;
  Visibility vis_;
  QString bank3Caption_ = QStringLiteral("SW3");
  int demoSlot_ = -1;
  int batchDepth_ = 0;
  bool dirty_ = false;
};

} // namespace pv

#include "config/ui/EditorWindow.h"
#include "kernel/Catalogue.h"
#include "text/Texts.h"
#include "kernel/ui/Widgets.h"
#include "config/EditorModel.h"
#include "config/ConfigDiff.h"

#include <QHash>

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QButtonGroup>
#include <QVBoxLayout>

namespace pv {

namespace {
QString N(const char* base, int i) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(i); }

QLineEdit* TextBox(const QString& name, QWidget* parent, int width = 70) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setFixedWidth(width);
  e->setAlignment(Qt::AlignRight);
  return e;
}

QGroupBox* Frame(const QString& name, QWidget* parent) {
  auto* g = new QGroupBox(parent);
  g->setObjectName(name);
  return g;
}
} // namespace

QRadioButton* EditorWindow::radio(const QString& name, const QString& text, QWidget* parent) {
  auto* r = new QRadioButton(text, parent);
  r->setObjectName(name);
  r->setAutoExclusive(false);  // the model decides which is chosen
  return r;
}

QLabel* EditorWindow::label(const QString& name, QWidget* parent, const QString& text) {
  auto* l = new QLabel(text, parent);
  if (!name.isEmpty()) l->setObjectName(name);
  return l;
}

const EditorView& EditorWindow::view() const { return model_.view(); }

void EditorWindow::number(QLineEdit* e, Field f) {
  binder_.text(e, [this, f] { return model_.text(f); }, [this, f](const QString& t) { model_.setText(f, t); });
}

void EditorWindow::choice(std::vector<QAbstractButton*> buttons, int c, int ChannelConfig::*group) {
  binder_.options(std::move(buttons), [this, c, group] { return model_.record().ch[c].*group; },
                  [this, c, group](int k) { model_.setChoice(c, group, k); });
}

EditorWindow::EditorWindow(EditorModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("frm_program"));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 8, 8, 8);

  // Port state and the stop button on one line.
  auto* top = new QHBoxLayout;
  portLamp_ = new Lamp(this);
  portLamp_->setObjectName(QStringLiteral("port_state"));
  portText_ = label(QStringLiteral("lbl_port_state"), this);
  top->addWidget(portLamp_);
  top->addWidget(portText_);
  top->addStretch();
  auto* doubler = new QCheckBox(this);
  doubler->setObjectName(QStringLiteral("chk_Doubler"));
  auto* hs = new QCheckBox(QStringLiteral("HS"), this);
  hs->setObjectName(QStringLiteral("chk_HS"));
  hs->setToolTip(QStringLiteral("High speed"));
  top->addWidget(doubler);
  top->addWidget(hs);
  auto* math = new QPushButton(QStringLiteral("f(x)"), this);
  math->setObjectName(QStringLiteral("cmd_math"));
  top->addWidget(math);
  auto* sheet = new QPushButton(this);
  sheet->setObjectName(QStringLiteral("cmd_Sheet"));
  top->addWidget(sheet);
  connect(sheet, &QPushButton::clicked, this, &EditorWindow::sheetRequested);
  auto* stop = new QPushButton(QStringLiteral("Stop"), this);
  stop->setObjectName(QStringLiteral("Cmd_StopRead"));
  top->addWidget(stop);
  outer->addLayout(top);

  // Channel A, channel B, then the frames the unit has once (trips,
  // frequency, response time, physical scale) in a third column: a laptop
  // screen is wide rather than tall.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setColumnMinimumWidth(0, 330);
  grid->setColumnMinimumWidth(1, 330);
  for (int c = 0; c < 2; ++c) {
    channelHeading_[c] = label(N("lbl_channel", c), this);
    QFont f = channelHeading_[c]->font();
    f.setBold(true);
    channelHeading_[c]->setFont(f);
    grid->addWidget(channelHeading_[c], 0, c);
    grid->addWidget(channelInput(c), 1, c);
    grid->addWidget(channelOutput(c), 2, c);
    grid->addWidget(channelOptions(c), 3, c);
  }
  auto* side = new QVBoxLayout;
  side->addWidget(tripFrame());
  side->addWidget(frequencyFrame());
  QGroupBox* opt = Frame(QStringLiteral("frm_opt"), this);
  auto* optL = new QHBoxLayout(opt);
  optL->addWidget(label({}, opt, QStringLiteral("t")));
  auto* delay = TextBox(QStringLiteral("txt_Delay"), opt);
  optL->addWidget(delay);
  optL->addWidget(label({}, opt, QStringLiteral("s")));
  optL->addStretch();
  number(delay, Field::ResponseTime);
  binder_.visible(opt, &view().frmOpt);
  side->addWidget(opt);
  side->addWidget(physicalFrame());
  side->addStretch();
  grid->addLayout(side, 1, 2, 3, 1);
  grid->setColumnStretch(2, 1);
  outer->addLayout(grid);
  // A one-channel unit leaves no gap where channel B would be.
  binder_.custom([this, grid] {
    const bool b = view().frmInput[1] || view().frmOutput[1] || view().frmOptions[1];
    grid->setColumnMinimumWidth(1, b ? 330 : 0);
  });
  outer->addWidget(scalingPanel());
  outer->addStretch();

  binder_.check(
      doubler, [this] { return model_.record().doubler; }, [this](bool on) { model_.setDoubler(on); },
      [this] { return model_.doublerOwned(); });
  binder_.check(
      hs, [this] { return model_.record().highSpeed; }, [this](bool on) { model_.setHighSpeed(on); },
      [this] { return view().chkHSEnabled; });
  binder_.visible(math, &view().cmdMath);
  connect(math, &QPushButton::clicked, this, [this] { model_.copiaValori(); });
  connect(stop, &QPushButton::clicked, this, &EditorWindow::stopRequested);
  binder_.custom([this] {
    channelHeading_[1]->setVisible(view().frmInput[1] || view().frmOutput[1] || view().frmOptions[1]);
  });
  connect(&model_, &EditorModel::changed, this, [this] {
    binder_.sync();
    refreshMarks();
  });
  // After the binder's own handlers, so the model already holds the edit.
  for (auto* e : findChildren<QLineEdit*>()) connect(e, &QLineEdit::textEdited, this, &EditorWindow::refreshMarks);
  for (auto* b : findChildren<QAbstractButton*>()) connect(b, &QAbstractButton::clicked, this, &EditorWindow::refreshMarks);
  for (auto* c : findChildren<QComboBox*>()) connect(c, &QComboBox::activated, this, &EditorWindow::refreshMarks);
  setDisplayValue(4);
  binder_.sync();
}

void EditorWindow::refreshMarks() {
  const AppState& s = model_.state();
  QStringList marked;
  QHash<QString, QString> tips;
  // Only against cells really read from the unit.
  if (model_.baseValid) {
    const ConfigRecord read = DecodeConfig(s.identity, model_.tables(), model_.base);
    for (const FieldDiff& d : DiffConfig(s, model_.tables(), s.identity, s.familyCell, read, model_.record()))
      for (const QString& name : d.controls) {
        marked << name;
        tips[name] = Tr(s, 73) + QStringLiteral(": ") + d.a + (d.unit.isEmpty() ? QString() : QLatin1Char(' ') + d.unit);
      }
  }
  for (const QString& name : std::as_const(marked_)) {
    if (marked.contains(name)) continue;
    if (auto* w = findChild<QWidget*>(name)) {
      w->setStyleSheet({});
      w->setToolTip({});
      w->setProperty("changedSinceRead", false);
    }
  }
  for (const QString& name : std::as_const(marked)) {
    if (auto* w = findChild<QWidget*>(name)) {
      w->setStyleSheet(QStringLiteral("background-color: #ffe08a;"));
      w->setToolTip(tips.value(name));
      w->setProperty("changedSinceRead", true);
    }
  }
  marked_ = marked;
  emit marksChanged();
}

QGroupBox* EditorWindow::channelInput(int c) {
  QGroupBox* g = Frame(N("frm_input", c), this);
  auto* l = new QGridLayout(g);
  l->addWidget(label(N("lbl_tipo_in", c), g), 0, 0);
  auto* type = new QComboBox(g);
  type->setObjectName(N("cmb_Prog_In", c));
  type->setMinimumWidth(120);
  l->addWidget(type, 0, 1, 1, 2);
  binder_.combo(type, &view().cmbProgIn[c].items, [this, c] { return view().cmbProgIn[c].text; },
                [this, c](const QString& name) { model_.setInputType(c, name); });

  auto* max = TextBox(N("txt_Input_max", c), g);
  auto* min = TextBox(N("txt_Input_min", c), g);
  l->addWidget(label(N("lbl_max_in", c), g), 1, 0);
  l->addWidget(max, 1, 1);
  l->addWidget(label(N("lbl_uMisIn", 2 * c), g), 1, 2);
  l->addWidget(label(N("lbl_min_in", c), g), 2, 0);
  l->addWidget(min, 2, 1);
  l->addWidget(label(N("lbl_uMisIn", 2 * c + 1), g), 2, 2);
  number(max, Of(Field::InputMaxA, c));
  number(min, Of(Field::InputMinA, c));
  binder_.label(g->findChild<QLabel*>(N("lbl_uMisIn", 2 * c)), &view().lblUMisIn[2 * c]);
  binder_.label(g->findChild<QLabel*>(N("lbl_uMisIn", 2 * c + 1)), &view().lblUMisIn[2 * c + 1]);
  // Limits and minimum span on one line: the editor must fit a laptop screen.
  auto* lim = label(N("lbl_limite_in", c), g);
  auto* span = label(N("lbl_spanmin_in", c), g);
  l->addWidget(lim, 3, 0);
  l->addWidget(span, 3, 1, 1, 2);
  binder_.label(lim, &view().lblLimiteIn[c]);
  binder_.label(span, &view().lblSpanminIn[c]);

  auto* offset = TextBox(N("txt_offset", c), g);
  l->addWidget(label(N("lbl_offset", c), g), 4, 0);
  l->addWidget(offset, 4, 1);
  number(offset, Of(Field::OffsetA, c));

  auto* row = new QHBoxLayout;
  QGroupBox* cjc = Frame(N("frm_cjc", c), g);
  auto* cl = new QVBoxLayout(cjc);
  auto* ext = radio(N("opt_CJC", 2 * c), {}, cjc);
  auto* in = radio(N("opt_CJC", 2 * c + 1), {}, cjc);
  cl->addWidget(ext);
  cl->addWidget(in);
  choice({ext, in}, c, &ChannelConfig::cjc);
  binder_.visible(cjc, &view().frmCjc[c]);
  row->addWidget(cjc);

  QGroupBox* fili = Frame(N("frm_fili", c), g);
  auto* fl = new QVBoxLayout(fili);
  std::vector<QAbstractButton*> wires;
  const char* wireCaptions[3] = {"2", "4", "3"};
  for (int k = 0; k < 3; ++k) {
    auto* r = radio(N("opt_Fili", 3 * c + k), QString::fromLatin1(wireCaptions[k]), fili);
    fl->addWidget(r);
    wires.push_back(r);
  }
  choice(wires, c, &ChannelConfig::wires);
  binder_.visible(fili, &view().frmFili[c]);
  row->addWidget(fili);

  QGroupBox* brk = Frame(N("frm_break", c), g);
  auto* bl = new QVBoxLayout(brk);
  auto* up = radio(N("opt_Break", 2 * c), {}, brk);
  auto* down = radio(N("opt_Break", 2 * c + 1), {}, brk);
  bl->addWidget(up);
  bl->addWidget(down);
  choice({up, down}, c, &ChannelConfig::burnOut);
  binder_.visible(brk, &view().frmBreak[c]);
  row->addWidget(brk);
  row->addStretch();
  l->addLayout(row, 5, 0, 1, 3);
  binder_.visible(g, &view().frmInput[c]);
  return g;
}

QGroupBox* EditorWindow::channelOutput(int c) {
  QGroupBox* g = Frame(N("frm_output", c), this);
  auto* l = new QGridLayout(g);
  l->addWidget(label(N("lbl_tipo_out", c), g), 0, 0);
  auto* type = new QComboBox(g);
  type->setObjectName(N("cmb_Prog_Out", c));
  l->addWidget(type, 0, 1, 1, 2);
  binder_.combo(type, &view().cmbProgOut[c].items, [this, c] { return view().cmbProgOut[c].text; },
                [this, c](const QString& name) { model_.setOutputType(c, name); });
  auto* max = TextBox(N("txt_Output_max", c), g);
  auto* min = TextBox(N("txt_Output_min", c), g);
  auto* u0 = label(N("lbl_uMisOut", 2 * c), g);
  auto* u1 = label(N("lbl_uMisOut", 2 * c + 1), g);
  l->addWidget(label(N("lbl_max_out", c), g), 1, 0);
  l->addWidget(max, 1, 1);
  l->addWidget(u0, 1, 2);
  l->addWidget(label(N("lbl_min_out", c), g), 2, 0);
  l->addWidget(min, 2, 1);
  l->addWidget(u1, 2, 2);
  number(max, Of(Field::OutputMaxA, c));
  number(min, Of(Field::OutputMinA, c));
  binder_.label(u0, &view().lblUMisOut[2 * c]);
  binder_.label(u1, &view().lblUMisOut[2 * c + 1]);
  auto* lim = label(N("lbl_limite_out", c), g);
  auto* span = label(N("lbl_spanmin_out", c), g);
  l->addWidget(lim, 3, 0);
  l->addWidget(span, 3, 1, 1, 2);
  binder_.label(lim, &view().lblLimiteOut[c]);
  binder_.label(span, &view().lblSpanminOut[c]);
  binder_.visible(g, &view().frmOutput[c]);
  return g;
}

QGroupBox* EditorWindow::channelOptions(int c) {
  QGroupBox* g = Frame(N("frm_options", c), this);
  auto* l = new QGridLayout(g);
  QGroupBox* funz = Frame(N("frm_funz", c), g);
  auto* fl = new QVBoxLayout(funz);
  std::vector<QAbstractButton*> fns;
  for (int k = 0; k < 3; ++k) {
    auto* r = radio(N("opt_funz", 3 * c + k), {}, funz);
    fl->addWidget(r);
    fns.push_back(r);
    binder_.visible(r, &view().optFunzVisible[3 * c + k]);
  }
  choice(fns, c, &ChannelConfig::function);
  binder_.visible(funz, &view().frmFunz[c]);
  l->addWidget(funz, 0, 0, 3, 1);
  l->addWidget(label(N("lbl_overrange", c), g, QStringLiteral("Over range")), 0, 1);
  auto* over = new QComboBox(g);
  over->setObjectName(N("cmb_OverRange", c));
  l->addWidget(over, 0, 2);
  binder_.combo(over, &view().cmbOverRange[c].items, [this, c] { return view().cmbOverRange[c].text; },
                [this, c](const QString& name) { model_.setOverRange(c, name); });
  auto* op = new QPushButton(g);
  op->setObjectName(N("cmd_Operatore", c));
  l->addWidget(op, 0, 3);
  binder_.custom([this, op, c] { op->setText(view().cmdOperatore[c]); });
  connect(op, &QPushButton::clicked, this, [this, c] { emit optionsRequested(c); });
  l->setColumnStretch(4, 1);
  binder_.visible(g, &view().frmOptions[c]);
  return g;
}

QGroupBox* EditorWindow::tripFrame() {
  QGroupBox* g = Frame(QStringLiteral("frm_soglia"), this);
  auto* l = new QGridLayout(g);
  // Channel B's trip exists only where both channels carry one.
  for (int c = 0; c < 2; ++c) {
    const int col = c * 4;
    auto* hi = TextBox(N("txt_soglia_H", c), g);
    auto* lo = TextBox(N("txt_soglia_L", c), g);
    auto* uh = label(N("lbl_uMisS", 2 * c), g);
    auto* ul = label(N("lbl_uMisS", 2 * c + 1), g);
    auto* hiL = label(N("lbl_hi", c), g);
    auto* loL = label(N("lbl_lo", c), g);
    l->addWidget(hiL, 0, col);
    l->addWidget(hi, 0, col + 1);
    l->addWidget(uh, 0, col + 2);
    l->addWidget(loL, 1, col);
    l->addWidget(lo, 1, col + 1);
    l->addWidget(ul, 1, col + 2);
    number(hi, Of(Field::TripHighA, c));
    number(lo, Of(Field::TripLowA, c));
    binder_.label(uh, &view().lblUMisS[2 * c]);
    binder_.label(ul, &view().lblUMisS[2 * c + 1]);
    auto* mx = radio(N("optTrip", 2 * c), {}, g);
    auto* mn = radio(N("optTrip", 2 * c + 1), {}, g);
    auto* nc = radio(N("optRele", 2 * c), QStringLiteral("NC"), g);
    auto* no = radio(N("optRele", 2 * c + 1), QStringLiteral("NO"), g);
    auto* dir = new QHBoxLayout;
    dir->addWidget(mx);
    dir->addWidget(mn);
    dir->addSpacing(8);
    dir->addWidget(nc);
    dir->addWidget(no);
    l->addLayout(dir, 2, col, 1, 3);
    choice({mx, mn}, c, &ChannelConfig::tripDirection);
    choice({nc, no}, c, &ChannelConfig::relay);
    if (c == 0) {
      // On variants 2..6 the bit is the model family's: shown, never written.
      binder_.custom([this, mx, mn] {
        const bool owned = model_.tripDirectionOwned(0);
        const QString why = owned ? QString() : Tr(model_.state(), 119);
        for (QWidget* w : {static_cast<QWidget*>(mx), static_cast<QWidget*>(mn)}) {
          w->setEnabled(owned);
          w->setToolTip(why);
        }
      });
    }
    if (c == 1) {
      binder_.custom([this, hi, lo, uh, ul, hiL, loL, mx, mn, nc, no] {
        const bool both = TripChannels(model_.state().identity) == 2;
        for (QWidget* w : std::initializer_list<QWidget*>{hi, lo, uh, ul, hiL, loL, mx, mn, nc, no})
          w->setVisible(both);
      });
    }
  }
  auto* delay = TextBox(QStringLiteral("txt_soglia_Delay"), g);
  l->addWidget(label(QStringLiteral("lbl_delay"), g), 3, 0);
  l->addWidget(delay, 3, 1);
  l->addWidget(label({}, g, QStringLiteral("s")), 3, 2);
  number(delay, Field::TripDelay);
  l->setColumnStretch(8, 1);
  binder_.visible(g, &view().frmSoglia);
  return g;
}

QGroupBox* EditorWindow::frequencyFrame() {
  QGroupBox* g = Frame(QStringLiteral("frm_freq"), this);
  auto* l = new QGridLayout(g);
  auto* type = new QComboBox(g);
  type->setObjectName(QStringLiteral("cmb_Freq_Type"));
  l->addWidget(type, 0, 0, 1, 2);
  binder_.combo(type, &view().cmbFreqType.items, [this] { return view().cmbFreqType.text; },
                [this](const QString& name) { model_.setFreqType(name); });
  auto* hz = new QCheckBox(QStringLiteral("50 Hz"), g);
  hz->setObjectName(QStringLiteral("chk_50hz"));
  l->addWidget(hz, 0, 2);
  binder_.check(hz, [this] { return model_.record().filter50Hz; }, [this](bool on) { model_.setFilter50Hz(on); });
  auto* filter = TextBox(QStringLiteral("txt_filter"), g);
  l->addWidget(label(QStringLiteral("lbl_filter"), g), 1, 0);
  l->addWidget(filter, 1, 1);
  number(filter, Field::Filter);
  auto* auxL = label(QStringLiteral("lbl_aux"), g, QStringLiteral("Aux"));
  auto* aux = TextBox(QStringLiteral("txt_aux_freq"), g);
  auto* auxU = label(QStringLiteral("lbl_uMisAux"), g, QStringLiteral("Hz"));
  l->addWidget(auxL, 2, 0);
  l->addWidget(aux, 2, 1);
  l->addWidget(auxU, 2, 2);
  number(aux, Field::AuxFrequency);
  auto* trigL = label(QStringLiteral("lbl_trig"), g);
  auto* trig = TextBox(QStringLiteral("txt_Trig"), g);
  auto* trigU = label(QStringLiteral("lbl_uMisTrig"), g);
  l->addWidget(trigL, 3, 0);
  l->addWidget(trig, 3, 1);
  l->addWidget(trigU, 3, 2);
  number(trig, Field::Trigger);
  binder_.label(trigU, &view().lblUMisTrig);
  for (QWidget* w : std::initializer_list<QWidget*>{auxL, aux, auxU, trigL, trig, trigU})
    binder_.visible(w, &view().auxVisible);
  binder_.visible(g, &view().frmFreq);
  return g;
}

QGroupBox* EditorWindow::physicalFrame() {
  QGroupBox* g = Frame(QStringLiteral("frm_fisico"), this);
  auto* l = new QGridLayout(g);
  l->addWidget(label({}, g, QStringLiteral("A")), 0, 1);
  l->addWidget(label({}, g, QStringLiteral("B")), 0, 2);
  const char* rowsCaptions[4] = {"In Max", "In Min", "Out Max", "Out Min"};
  for (int r = 0; r < 4; ++r) l->addWidget(label({}, g, QString::fromLatin1(rowsCaptions[r])), r + 1, 0);
  for (int c = 0; c < 2; ++c) {
    auto* inMax = TextBox(N("txt_Fisico_max", 2 + c), g);
    auto* inMin = TextBox(N("txt_Fisico_min", 2 + c), g);
    auto* outMax = TextBox(N("txt_FisicoOut_max", c), g);
    auto* outMin = TextBox(N("txt_FisicoOut_min", c), g);
    l->addWidget(inMax, 1, c + 1);
    l->addWidget(inMin, 2, c + 1);
    l->addWidget(outMax, 3, c + 1);
    l->addWidget(outMin, 4, c + 1);
    number(inMax, PhysicalField(2 * c));
    number(inMin, PhysicalField(2 * c + 1));
    number(outMax, PhysicalField(4 + 2 * c));
    number(outMin, PhysicalField(5 + 2 * c));
  }
  binder_.visible(g, &view().frmFisico);
  return g;
}

QGroupBox* EditorWindow::scalingPanel() {
  QGroupBox* g = Frame(QStringLiteral("frm_modo"), this);
  auto* l = new QGridLayout(g);
  for (int c = 0; c < 2; ++c) {
    const int col = c * 3;
    l->addWidget(label({}, g, c == 0 ? QStringLiteral("A") : QStringLiteral("B")), 0, col);
    const struct {
      const char* name;
      const QString* field;
      int unit;  // lbl_uMisIn index, -1 for outputs
    } rowsDef[4] = {{"txt_Input_max", &view().panelInputMax[c], 4 + 2 * c},
                    {"txt_Input_min", &view().panelInputMin[c], 5 + 2 * c},
                    {"txt_Output_max", &view().panelOutputMax[c], -1},
                    {"txt_Output_min", &view().panelOutputMin[c], -1}};
    for (int r = 0; r < 4; ++r) {
      auto* e = TextBox(N(rowsDef[r].name, 2 + c), g);
      e->setReadOnly(true);
      l->addWidget(e, r + 1, col + 1);
      binder_.text(e, [field = rowsDef[r].field] { return *field; }, [](const QString&) {});
      if (rowsDef[r].unit >= 0) {
        auto* u = label(N("lbl_uMisIn", rowsDef[r].unit), g);
        l->addWidget(u, r + 1, col + 2);
        binder_.label(u, &view().lblUMisIn[rowsDef[r].unit]);
      } else {
        auto* u = label({}, g);
        l->addWidget(u, r + 1, col + 2);
        binder_.label(u, &view().lblUMisOut[2 * c]);
      }
    }
  }
  auto* ok = new QPushButton(QStringLiteral("OK"), g);
  ok->setObjectName(QStringLiteral("cmd_OperOk"));
  l->addWidget(ok, 5, 5);
  connect(ok, &QPushButton::clicked, this, [this] { model_.closeScalingPanel(); });
  binder_.visible(g, &view().frmModo);
  return g;
}

void EditorWindow::setDisplayValue(int value) {
  display_ = value;
  portLamp_->setVbColor(value == 1 ? kGreen : kRed);
  portLamp_->setToolTip(QStringLiteral("%1").arg(value));
  setEnabled(true);
  applyCaptions(model_.state());
}

void EditorWindow::applyCaptions(const AppState& s) {
  setWindowTitle(Tr(s, 35));
  refreshMarks();  // the tool tips are in the language too
  // The port state as a symbol: open (filled) or closed (hollow).
  portText_->setText(display_ == 1 ? QStringLiteral("COM \u25cf") : QStringLiteral("COM \u25cb"));
  auto set = [this](const QString& name, const QString& text) {
    if (auto* w = findChild<QWidget*>(name)) {
      if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
      else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
      else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
    }
  };
  const bool v7 = s.identity.variant == 7;
  for (int c = 0; c < 2; ++c) {
    const QString ch = Tr(s, 72) + (c == 0 ? QStringLiteral(" A") : QStringLiteral(" B"));
    channelHeading_[c]->setText(ch);
    set(N("lbl_tipo_in", c), Tr(s, 40));
    set(N("lbl_tipo_out", c), Tr(s, 40));
    set(N("frm_funz", c), Tr(s, 41));
    for (int k = 0; k < 3; ++k) set(N("opt_funz", 3 * c + k), Tr(s, 32 + k));
    set(N("opt_CJC", 2 * c), Tr(s, 42));
    set(N("opt_CJC", 2 * c + 1), Tr(s, 43));
    set(N("frm_cjc", c), QStringLiteral("CJC"));
    set(N("opt_Break", 2 * c), Tr(s, 44));
    set(N("opt_Break", 2 * c + 1), Tr(s, 45));
    set(N("frm_break", c), QStringLiteral("Burn-out"));
    set(N("frm_fili", c), Tr(s, 60));
    set(N("frm_input", c), Tr(s, 48));
    set(N("frm_options", c), Tr(s, 57));
    set(N("lbl_overrange", c), Tr(s, 118));
    set(N("lbl_max_in", c), Tr(s, 110));
    set(N("lbl_min_in", c), Tr(s, 111));
    set(N("lbl_max_out", c), Tr(s, 110));
    set(N("lbl_min_out", c), Tr(s, 111));
    set(N("lbl_offset", c), Tr(s, 112));
    set(N("lbl_hi", c), Tr(s, 113));
    set(N("lbl_lo", c), Tr(s, 114));
    set(N("optTrip", 2 * c), Tr(s, 110));
    set(N("optTrip", 2 * c + 1), Tr(s, 111));
    if (v7)
      set(N("frm_output", c), Tr(s, 49) + QLatin1Char(' ') + Tr(s, c == 0 ? 79 : 80));
    else
      set(N("frm_output", c), Tr(s, 49));
  }
  set(QStringLiteral("frm_soglia"), Tr(s, 50));
  set(QStringLiteral("lbl_delay"), Tr(s, 115));
  set(QStringLiteral("frm_freq"), Tr(s, 40));
  set(QStringLiteral("lbl_filter"), Tr(s, 82));
  set(QStringLiteral("lbl_trig"), Tr(s, 81));
  set(QStringLiteral("chk_Doubler"), Tr(s, 31));
  set(QStringLiteral("cmd_Sheet"), Tr(s, 158));
  set(QStringLiteral("frm_opt"), Tr(s, 57));
  set(QStringLiteral("frm_fisico"), QStringLiteral("f(x)"));
}

} // namespace pv

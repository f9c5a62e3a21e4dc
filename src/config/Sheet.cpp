#include "config/Sheet.h"

#include "config/EditorModel.h"
#include "kernel/AtomicFile.h"
#include "kernel/Catalogue.h"
#include "text/Texts.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

namespace pv {

namespace {

// Text 147/148: a box the editor shows checked or not.
QString YesNo(const AppState& s, bool on) { return Tr(s, on ? 147 : 148); }

QString WithUnit(const QString& value, const QString& unit) {
  const QString v = value.trimmed();
  if (v.isEmpty() || unit.trimmed().isEmpty()) return v;
  return v + QLatin1Char(' ') + unit.trimmed();
}

QString ChoiceText(const AppState& s, int firstId, int count, int index) {
  if (index >= 0 && index < count) return Tr(s, firstId + index);
  return QString::number(index);  // a value the unit holds that no button names
}

} // namespace

QString SheetModelText(const AppState& s, const DeviceIdentity& id, bool familyKnown) {
  auto named = [&](const ModelRow& row) {
    const QString modelId = QLatin1String(row.id);
    const QString caption = ModelCaption(s, CatalogueIndex(modelId));
    if (caption.isEmpty()) return modelId;
    // Another brand's caption ("OI-11 A") says little without the id.
    if (QString(caption).remove(QLatin1Char(' ')) == modelId) return caption;
    return caption + QStringLiteral(" (") + modelId + QLatin1Char(')');
  };
  if (familyKnown) {
    if (const ModelRow* row = ModelOf(id.variant, s.familyCell)) return named(*row);
  } else {
    // The file stores the variant, not the family: every model it fits.
    QStringList fits;
    for (const ModelRow& row : kModels)
      if (row.variant == id.variant) fits << named(row);
    if (!fits.isEmpty()) return fits.join(QStringLiteral(" / "));
  }
  return QStringLiteral("ID=%1/%2").arg(id.deviceCode).arg(id.variant);
}

SheetContent SheetFromEditor(const EditorModel& m, const SheetOrigin& origin) {
  const AppState& s = m.state();
  const EditorView& f = m.view();
  const ConfigRecord& rec = m.record();
  auto text = [&m](Field field, int c = 0) { return m.text(Of(field, c)); };
  const DeviceIdentity id = origin.fileIdentity.value_or(s.identity);
  SheetContent c;
  c.productTitle = ProductTitle(s);
  c.title = Tr(s, 142);
  c.header << qMakePair(Tr(s, 143), SheetModelText(s, id, origin.familyKnown && !origin.fileIdentity));
  c.header << qMakePair(Tr(s, 144), QStringLiteral("ID=%1/%2  HW=%3")
                                        .arg(id.deviceCode)
                                        .arg(id.variant)
                                        .arg(id.hardwareRevision));
  c.header << qMakePair(Tr(s, 155), origin.file.isEmpty() ? Tr(s, 156) : QFileInfo(origin.file).fileName());
  c.header << qMakePair(Tr(s, 145), origin.when.toString(QStringLiteral("yyyy-MM-dd HH:mm")));

  // Channel B has a column where the editor shows any of its frames.
  const bool twoChannels = f.frmInput[1] || f.frmOutput[1] || f.frmOptions[1];
  const int n = twoChannels ? 2 : 1;
  SheetTable t;
  t.title = Tr(s, 146);
  for (int ch = 0; ch < n; ++ch) t.columns << Tr(s, 72) + (ch == 0 ? QStringLiteral(" A") : QStringLiteral(" B"));
  auto heading = [&](const QString& text) { t.rows << SheetRow{text, {}, true}; };
  // A row of per-channel values; a channel whose frame the editor hides
  // has no value there.
  auto perChannel = [&](const QString& label, const std::function<QString(int)>& value,
                        const std::array<bool, 2>& shown) {
    SheetRow r{label, {}, false};
    bool any = false;
    for (int ch = 0; ch < n; ++ch) {
      r.values << (shown[ch] ? value(ch) : QString());
      any = any || shown[ch];
    }
    if (any) t.rows << r;
  };
  auto unitWide = [&](const QString& label, const QString& value) { t.rows << SheetRow{label, {value}, false}; };

  if (f.frmInput[0] || f.frmInput[1]) {
    heading(Tr(s, 48));
    const std::array<bool, 2> in = f.frmInput;
    perChannel(Tr(s, 40), [&](int ch) { return f.cmbProgIn[ch].text; }, in);
    perChannel(Tr(s, 110), [&](int ch) { return WithUnit(text(Field::InputMaxA, ch), f.lblUMisIn[2 * ch]); }, in);
    perChannel(Tr(s, 111), [&](int ch) { return WithUnit(text(Field::InputMinA, ch), f.lblUMisIn[2 * ch + 1]); }, in);
    perChannel(Tr(s, 112), [&](int ch) { return WithUnit(text(Field::OffsetA, ch), f.lblUMisIn[2 * ch]); }, in);
    auto both = [&](const std::array<bool, 2>& frame) {
      return std::array<bool, 2>{in[0] && frame[0], in[1] && frame[1]};
    };
    perChannel(QStringLiteral("CJC"), [&](int ch) { return ChoiceText(s, 42, 2, rec.ch[ch].cjc); }, both(f.frmCjc));
    static const char* wires[3] = {"2", "4", "3"};
    perChannel(Tr(s, 60), [&](int ch) {
      const int k = rec.ch[ch].wires;
      return k >= 0 && k < 3 ? QString::fromLatin1(wires[k]) : QString::number(k);
    }, both(f.frmFili));
    perChannel(QStringLiteral("Burn-out"), [&](int ch) { return ChoiceText(s, 44, 2, rec.ch[ch].burnOut); },
               both(f.frmBreak));
  }
  if (f.frmOutput[0] || f.frmOutput[1]) {
    heading(Tr(s, 49));
    const std::array<bool, 2> out = f.frmOutput;
    perChannel(Tr(s, 40), [&](int ch) { return f.cmbProgOut[ch].text; }, out);
    perChannel(Tr(s, 110), [&](int ch) { return WithUnit(text(Field::OutputMaxA, ch), f.lblUMisOut[2 * ch]); }, out);
    perChannel(Tr(s, 111), [&](int ch) { return WithUnit(text(Field::OutputMinA, ch), f.lblUMisOut[2 * ch + 1]); }, out);
  }
  if (f.frmOptions[0] || f.frmOptions[1]) {
    heading(Tr(s, 57));
    const std::array<bool, 2> opt = f.frmOptions;
    perChannel(Tr(s, 41), [&](int ch) { return ChoiceText(s, 32, 3, rec.ch[ch].function); },
               {opt[0] && f.frmFunz[0], opt[1] && f.frmFunz[1]});
    perChannel(Tr(s, 118), [&](int ch) { return f.cmbOverRange[ch].text; }, opt);
    perChannel(Tr(s, 153), [&](int ch) { return f.cmdOperatore[ch]; }, opt);
  }
  // Settings of the whole unit.
  if (m.doublerOwned()) unitWide(Tr(s, 31), YesNo(s, rec.doubler));
  unitWide(Tr(s, 154), YesNo(s, rec.highSpeed));
  if (f.frmOpt) unitWide(Tr(s, 150), WithUnit(text(Field::ResponseTime), QStringLiteral("s")));
  if (f.frmFreq) {
    heading(Tr(s, 157));
    unitWide(Tr(s, 40), f.cmbFreqType.text);
    unitWide(QStringLiteral("50 Hz"), YesNo(s, rec.filter50Hz));
    unitWide(Tr(s, 82), text(Field::Filter).trimmed());
    if (f.auxVisible) {
      unitWide(QStringLiteral("Aux"), WithUnit(text(Field::AuxFrequency), QStringLiteral("Hz")));
      unitWide(Tr(s, 81), WithUnit(text(Field::Trigger), f.lblUMisTrig));
    }
  }
  if (f.frmFisico) {
    heading(Tr(s, 152));
    const std::array<bool, 2> shown{true, true};
    perChannel(QStringLiteral("In Max"), [&](int ch) { return m.text(PhysicalField(2 * ch)).trimmed(); }, shown);
    perChannel(QStringLiteral("In Min"), [&](int ch) { return m.text(PhysicalField(2 * ch + 1)).trimmed(); }, shown);
    perChannel(QStringLiteral("Out Max"), [&](int ch) { return m.text(PhysicalField(4 + 2 * ch)).trimmed(); }, shown);
    perChannel(QStringLiteral("Out Min"), [&](int ch) { return m.text(PhysicalField(5 + 2 * ch)).trimmed(); }, shown);
  }
  c.tables << t;

  if (f.frmSoglia) {
    SheetTable trips;
    trips.title = Tr(s, 50);
    const int tn = std::clamp(TripChannels(s.identity), 1, 2);  // as the editor shows them
    for (int ch = 0; ch < tn; ++ch)
      trips.columns << Tr(s, 72) + (ch == 0 ? QStringLiteral(" A") : QStringLiteral(" B"));
    auto row = [&](const QString& label, const std::function<QString(int)>& value) {
      SheetRow r{label, {}, false};
      for (int ch = 0; ch < tn; ++ch) r.values << value(ch);
      trips.rows << r;
    };
    row(Tr(s, 113), [&](int ch) { return WithUnit(text(Field::TripHighA, ch), f.lblUMisS[2 * ch]); });
    row(Tr(s, 114), [&](int ch) { return WithUnit(text(Field::TripLowA, ch), f.lblUMisS[2 * ch + 1]); });
    row(Tr(s, 110) + QStringLiteral(" / ") + Tr(s, 111),
        [&](int ch) { return ChoiceText(s, 110, 2, rec.ch[ch].tripDirection); });
    row(Tr(s, 149), [&](int ch) { return rec.ch[ch].relay ? QStringLiteral("NO") : QStringLiteral("NC"); });
    trips.rows << SheetRow{Tr(s, 115), {WithUnit(text(Field::TripDelay), QStringLiteral("s"))}, false};
    c.tables << trips;
  }
  c.signature = Tr(s, 159);
  return c;
}

QStringList SheetTexts(const SheetContent& c) {
  QStringList out{c.productTitle, c.title};
  for (const auto& [label, value] : c.header) out << label << value;
  for (const SheetTable& t : c.tables) {
    out << t.title << t.columns;
    for (const SheetRow& r : t.rows) out << r.label << r.values;
  }
  if (c.picture) out << c.picture->title << c.picture->notes;
  out << c.signature;
  out.removeAll(QString());
  return out;
}

namespace {

constexpr double kPageWidth = 210, kPageHeight = 297;
constexpr double kMarginX = 15, kMarginY = 12;
constexpr double kLabelColumn = 58;  // mm

// Sizes at full scale, millimetres and points.
struct Metrics {
  double k = 1;  // scale that makes the page fit
  double row() const { return 5.4 * k; }
  double titleGap() const { return 7.5 * k; }
  double noteLine() const { return 4.6 * k; }
  double pt(double points) const { return points * k; }
};

double TablesHeight(const SheetContent& c, const Metrics& m) {
  double h = 0;
  for (const SheetTable& t : c.tables) h += m.titleGap() + m.row() * (1 + t.rows.size()) + 4 * m.k;
  return h;
}

double ContentHeight(const SheetContent& c, const Metrics& m) {
  double h = 6 * m.k + 11 * m.k;            // product line, title
  h += c.header.size() * m.row() + 4 * m.k;  // header block
  h += TablesHeight(c, m);
  if (c.picture) {
    const double w = std::min(c.picture->size.width() * m.k, kPageWidth - 2 * kMarginX);
    const double scale = c.picture->size.width() > 0 ? w / c.picture->size.width() : 0;
    h += m.titleGap() + c.picture->size.height() * scale + 2 * m.k + c.picture->notes.size() * m.noteLine() + 4 * m.k;
  }
  h += 16;  // the signature line, never scaled
  return h;
}

class Page {
public:
  Page(QPainter& p, QPdfWriter& w, const Metrics& m) : p_(p), w_(w), m_(m), u_(w.resolution() / 25.4) {}

  double u(double mm) const { return mm * u_; }
  QRectF rect(double x, double y, double wdt, double h) const { return QRectF(u(x), u(y), u(wdt), u(h)); }

  QFont font(double points, bool bold = false) const {
    QFont f;
    f.setPointSizeF(m_.pt(points));
    f.setBold(bold);
    // No ligatures: "fi" and "ff" stay two letters, so that a reader's
    // search and copy find "Offset" and "firma".
    f.setStyleStrategy(QFont::PreferNoShaping);
    return f;
  }
  void text(const QRectF& mmRect, const QString& s, const QFont& f, int flags = Qt::AlignLeft | Qt::AlignVCenter) {
    p_.setFont(f);
    const QRectF r = rect(mmRect.x(), mmRect.y(), mmRect.width(), mmRect.height());
    const QFontMetricsF fm(f, &w_);
    p_.drawText(r.adjusted(u(1.2), 0, -u(1.2), 0), flags, fm.elidedText(s, Qt::ElideRight, r.width() - u(2.4)));
  }
  void line(double x1, double y1, double x2, double y2, const QColor& colour, double widthMm) {
    p_.setPen(QPen(colour, u(widthMm)));
    p_.drawLine(QPointF(u(x1), u(y1)), QPointF(u(x2), u(y2)));
  }
  void fill(double x, double y, double wdt, double h, const QColor& colour) {
    p_.fillRect(rect(x, y, wdt, h), colour);
  }
  void pen(const QColor& c) { p_.setPen(c); }
  QPainter& painter() { return p_; }

private:
  QPainter& p_;
  QPdfWriter& w_;
  Metrics m_;
  double u_;
};

void DrawTable(Page& pg, const SheetTable& t, const Metrics& m, double x, double width, double& y) {
  pg.pen(Qt::black);
  pg.text(QRectF(x, y, width, m.titleGap()), t.title, pg.font(11, true), Qt::AlignLeft | Qt::AlignBottom);
  y += m.titleGap();
  const int cols = std::max<int>(1, t.columns.size());
  const double label = kLabelColumn * std::max(0.8, m.k);
  const double colW = (width - label) / cols;
  // Column headings.
  pg.fill(x, y, width, m.row(), QColor(0xdd, 0xe3, 0xea));
  pg.pen(Qt::black);
  for (int i = 0; i < t.columns.size(); ++i)
    pg.text(QRectF(x + label + i * colW, y, colW, m.row()), t.columns[i], pg.font(9, true));
  y += m.row();
  const QColor rule(0xb0, 0xb0, 0xb0);
  // Column rules on the headings line and on every row that has columns
  // (not across a section line or a value of the whole unit).
  auto columnRules = [&](double top, int upTo) {
    for (int i = 0; i < upTo; ++i) pg.line(x + label + i * colW, top, x + label + i * colW, top + m.row(), rule, 0.15);
  };
  columnRules(y - m.row(), cols);
  for (const SheetRow& r : t.rows) {
    if (r.heading) {
      pg.fill(x, y, width, m.row(), QColor(0xf0, 0xf0, 0xf0));
      pg.pen(Qt::black);
      pg.text(QRectF(x, y, width, m.row()), r.label, pg.font(9, true));
    } else {
      pg.pen(Qt::black);
      pg.text(QRectF(x, y, label, m.row()), r.label, pg.font(9));
      if (r.values.size() == 1 && cols > 1) {
        pg.text(QRectF(x + label, y, colW * cols, m.row()), r.values[0], pg.font(9));
        columnRules(y, 1);
      } else {
        for (int i = 0; i < r.values.size() && i < cols; ++i) {
          // A setting this channel does not have.
          const QString v = r.values[i].isEmpty() ? QStringLiteral("\u2014") : r.values[i];
          pg.pen(r.values[i].isEmpty() ? QColor(0x90, 0x90, 0x90) : QColor(Qt::black));
          pg.text(QRectF(x + label + i * colW, y, colW, m.row()), v, pg.font(9));
        }
        columnRules(y, cols);
      }
    }
    y += m.row();
    pg.line(x, y, x + width, y, rule, 0.15);
  }
  const double top = y - m.row() * (1 + t.rows.size());
  pg.line(x, top, x + width, top, QColor(0x60, 0x60, 0x60), 0.3);
  pg.line(x, y, x + width, y, QColor(0x60, 0x60, 0x60), 0.3);
  y += 4 * m.k;
}

} // namespace

bool RenderSheet(const SheetContent& c, const QString& pdfPath, QString* error) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&buffer);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setTitle(c.title);
    writer.setCreator(c.productTitle);
    QPainter p;
    if (!p.begin(&writer)) {
      if (error) *error = QStringLiteral("the PDF writer could not start");
      return false;
    }
    p.setRenderHint(QPainter::Antialiasing);

    // The largest scale at which everything fits one page.
    Metrics m;
    const double room = kPageHeight - 2 * kMarginY;
    while (m.k > 0.5 && ContentHeight(c, m) > room) m.k -= 0.02;

    Page pg(p, writer, m);
    const double x = kMarginX, width = kPageWidth - 2 * kMarginX;
    double y = kMarginY;
    pg.pen(QColor(0x50, 0x50, 0x50));
    pg.text(QRectF(x, y, width, 6 * m.k), c.productTitle, pg.font(9));
    y += 6 * m.k;
    pg.pen(Qt::black);
    pg.text(QRectF(x, y, width, 11 * m.k), c.title, pg.font(17, true));
    y += 11 * m.k;
    pg.line(x, y, x + width, y, Qt::black, 0.5);
    y += 1.5 * m.k;
    for (const auto& [label, value] : c.header) {
      pg.pen(QColor(0x50, 0x50, 0x50));
      pg.text(QRectF(x, y, 32, m.row()), label, pg.font(10));
      pg.pen(Qt::black);
      pg.text(QRectF(x + 32, y, width - 32, m.row()), value, pg.font(10, true));
      y += m.row();
    }
    y += 2.5 * m.k;
    for (const SheetTable& t : c.tables) DrawTable(pg, t, m, x, width, y);

    if (c.picture && c.picture->size.width() > 0) {
      const SheetPicture& pic = *c.picture;
      pg.pen(Qt::black);
      pg.text(QRectF(x, y, width, m.titleGap()), pic.title, pg.font(11, true), Qt::AlignLeft | Qt::AlignBottom);
      y += m.titleGap();
      const double w = std::min(pic.size.width() * m.k, width);
      const double scale = w / pic.size.width();
      if (pic.paint) {
        p.save();
        p.translate(pg.u(x), pg.u(y));
        p.scale(pg.u(scale), pg.u(scale));
        pic.paint(p);
        p.restore();
      }
      y += pic.size.height() * scale + 2 * m.k;
      pg.pen(Qt::black);
      for (const QString& note : pic.notes) {
        pg.text(QRectF(x, y, width, m.noteLine()), note, pg.font(9));
        y += m.noteLine();
      }
    }

    // The technician's line at the foot of the page.
    const double foot = kPageHeight - kMarginY - 8;
    pg.pen(Qt::black);
    pg.text(QRectF(x, foot - 6, 60, 6), c.signature, pg.font(10), Qt::AlignLeft | Qt::AlignBottom);
    pg.line(x + 60, foot, x + width, foot, Qt::black, 0.3);
    if (!p.end()) {
      if (error) *error = QStringLiteral("the PDF could not be completed");
      return false;
    }
  }
  return SaveAtomically(pdfPath, buffer.data(), error);
}

} // namespace pv

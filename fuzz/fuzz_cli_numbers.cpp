// The command line's numbers: whole numbers of the unit commands (cells,
// measure, --retries, restore's entry number) and the values peek and poke
// take (bank, address, and a byte, int or float value).
//
// Invariants:
// - a whole number is accepted only when it is plain decimal digits (a '-'
//   only where the range goes below 0), and then it is exactly the number
//   the digits spell, inside its range;
// - a poke value is accepted only as cells that hold it: a byte 0..255, an
//   int whose two bytes give it back, a float whose three bytes give back a
//   finite number within Float24's precision and never zero for a value
//   that is not (nor anything below the smallest normal);
// - the cells never pass cell 255.
#include "FuzzSupport.h"

#include "CliCore.h"
#include "factory/EepromEditor.h"
#include "link/Codecs.h"

#include <cmath>

using namespace pv;
using namespace pv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const int lo = in.flag() ? -32768 : 0;
  const int hi = static_cast<int>(in.byte()) * 400;
  const uint8_t format = in.byte() % 3;
  const QList<QByteArray> parts = in.rest().split('\x1f');
  const QString a = QString::fromUtf8(parts.value(0)), b = QString::fromUtf8(parts.value(1)),
                c = QString::fromUtf8(parts.value(2));

  if (const std::optional<int> v = ParseCliInt(a, lo, hi)) {
    PV_FUZZ_CHECK(*v >= lo && *v <= hi, QStringLiteral("%1 outside %2..%3").arg(*v).arg(lo).arg(hi));
    long long spelled = 0;
    bool negative = false;
    for (int i = 0; i < a.size(); ++i) {
      if (i == 0 && a[i] == QLatin1Char('-')) {
        negative = true;
        continue;
      }
      PV_FUZZ_CHECK(a[i] >= QLatin1Char('0') && a[i] <= QLatin1Char('9'), QStringLiteral("\"%1\" is not digits").arg(a));
      spelled = spelled * 10 + (a[i].unicode() - '0');
      PV_FUZZ_CHECK(spelled < (1LL << 40), QStringLiteral("\"%1\" too long").arg(a));
    }
    PV_FUZZ_CHECK((negative ? -spelled : spelled) == *v, QStringLiteral("\"%1\" read as %2").arg(a).arg(*v));
  }

  static const AppState state;
  SingleFields f;
  f.bank = a;
  f.start = b;
  f.value = c;
  f.format = static_cast<EepromFormat>(format);
  f.fromValue = true;
  QString why;
  const std::optional<SingleCells> cells = CheckWrite(state, f, &why);
  if (!cells) {
    PV_FUZZ_CHECK(!why.isEmpty(), QStringLiteral("refused without a reason"));
    return 0;
  }
  PV_FUZZ_CHECK(cells->bank >= 0 && cells->bank <= 255, QStringLiteral("bank %1").arg(cells->bank));
  PV_FUZZ_CHECK(cells->address >= 0 && cells->address + CellsOf(cells->format) <= 256,
                QStringLiteral("cells from %1 pass 255").arg(cells->address));
  const std::array<uint8_t, 3>& by = cells->bytes;
  switch (cells->format) {
  case EepromFormat::Byte:
    PV_FUZZ_CHECK(QString::number(by[0]) == c.trimmed() || c.trimmed().toInt() == by[0], QStringLiteral("byte \"%1\" read as %2").arg(c).arg(by[0]));
    break;
  case EepromFormat::Int: {
    const int v = c.trimmed().toInt();
    PV_FUZZ_CHECK((by[1] * 256 + by[0]) == (v < 0 ? v + 65536 : v), QStringLiteral("int \"%1\" as %2 %3").arg(c).arg(by[0]).arg(by[1]));
    break;
  }
  case EepromFormat::Float: {
    const double v = c.trimmed().toDouble();
    const double back = DecodeFloat24(by[1], by[2], by[0]);
    PV_FUZZ_CHECK(std::isfinite(v) && std::isfinite(back), QStringLiteral("float \"%1\" not finite").arg(c));
    if (v == 0) break;
    PV_FUZZ_CHECK(std::fabs(v) >= std::ldexp(1.0, -126), QStringLiteral("float \"%1\" below the smallest normal").arg(c));
    PV_FUZZ_CHECK(std::fabs(back - v) <= std::fabs(v) * 1e-4, QStringLiteral("float \"%1\" stored as %2").arg(c).arg(back));
    break;
  }
  }
  return 0;
}

// Bench instruments' replies: the supply's current, the meters' readings and
// the USB meter's SCPI lines all go through one number parser.
//
// Invariants:
// - a number is taken only from text that is exactly one plain decimal (an
//   optional sign, digits with at most one '.', an optional exponent) with
//   blanks and line endings around it; anything else is refused, never 0;
// - a taken number is finite and is the value the C library reads from the
//   same text, whatever the user's locale;
// - the text shown for a reply is printable.
#include "FuzzSupport.h"

#include "factory/Instrument.h"

#include <QRegularExpression>
#include <clocale>
#include <cmath>
#include <cstdlib>

using namespace pv;
using namespace pv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // Italian numbers use a decimal comma: replies must not follow it.
  static const bool italian = std::setlocale(LC_NUMERIC, "it_IT.UTF-8") != nullptr;
  (void)italian;

  // \A, \z and \x0B: "$" and "\v" would also take U+0085 (NEL) as a line end.
  static const QRegularExpression plain(
      QStringLiteral("\\A[ \\t\\n\\x0B\\f\\r]*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?[ \\t\\n\\x0B\\f\\r]*\\z"));
  const bool looksPlain = !reply.contains('\0') && plain.match(QString::fromLatin1(reply)).hasMatch();
  const std::optional<double> v = ParseReplyNumber(reply);
  if (v) {
    PV_FUZZ_CHECK(looksPlain, QStringLiteral("\"%1\" was taken as %2").arg(ShownReply(reply)).arg(*v));
    PV_FUZZ_CHECK(std::isfinite(*v), QStringLiteral("a non-finite reading"));
    // The C library's reading of the same text, in the "C" locale.
    std::setlocale(LC_NUMERIC, "C");
    const QByteArray t = reply.trimmed();
    const double reference = std::strtod(t.constData(), nullptr);
    std::setlocale(LC_NUMERIC, "it_IT.UTF-8");
    PV_FUZZ_CHECK(*v == reference, QStringLiteral("\"%1\" read as %2, not %3").arg(ShownReply(reply)).arg(*v).arg(reference));
  } else if (looksPlain) {
    // Refused although plain: only a value beyond the double range may be.
    std::setlocale(LC_NUMERIC, "C");
    const double reference = std::strtod(reply.trimmed().constData(), nullptr);
    std::setlocale(LC_NUMERIC, "it_IT.UTF-8");
    PV_FUZZ_CHECK(!std::isfinite(reference) || std::fabs(reference) < 1e-300,
                  QStringLiteral("\"%1\" refused although it reads %2").arg(ShownReply(reply)).arg(reference));
  }
  for (QChar c : ShownReply(reply))
    PV_FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() < 0x7F, QStringLiteral("unprintable text shown"));
  return 0;
}

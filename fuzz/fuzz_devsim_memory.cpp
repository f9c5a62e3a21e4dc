// The simulator's memory file: any text as the file given to --memory, then
// the loaded cells read back through the simulated unit's own "$R" answers.
//
// Invariants:
// - a refused file says why and loads nothing;
// - an accepted file holds at most 256 values, each the decimal number on
//   its line, and the same values written back one per line read the same;
// - the unit answers every loaded cell with the file's value.
#include "FuzzSupport.h"

#include "DeviceSimulator.h"
#include "MemoryFile.h"

using namespace pv;
using namespace pv::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QVector<uint8_t> values{7, 7, 7};
  QString why;
  if (!sim::ParseMemoryFile(text, &values, &why)) {
    PV_FUZZ_CHECK(!why.isEmpty(), QStringLiteral("refused without a reason"));
    PV_FUZZ_CHECK((values == QVector<uint8_t>{7, 7, 7}), QStringLiteral("a refused file gave values"));
    return 0;
  }
  PV_FUZZ_CHECK(values.size() <= 256, QStringLiteral("%1 values").arg(values.size()));
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (int i = 0; i < values.size(); ++i) {
    // The line is a plain decimal: optional sign, digits, blanks around.
    const QString t = lines[i].trimmed();
    int k = 0, v = 0;
    const bool negative = k < t.size() && t[k] == QLatin1Char('-');
    if (k < t.size() && (t[k] == QLatin1Char('+') || t[k] == QLatin1Char('-'))) ++k;
    PV_FUZZ_CHECK(k < t.size(), QStringLiteral("line %1 \"%2\" has no digits").arg(i + 1).arg(t));
    for (; k < t.size(); ++k) {
      PV_FUZZ_CHECK(t[k] >= QLatin1Char('0') && t[k] <= QLatin1Char('9'),
                    QStringLiteral("line %1 \"%2\" was taken as %3").arg(i + 1).arg(t).arg(values[i]));
      v = std::min(v * 10 + (t[k].unicode() - '0'), 1000);
    }
    PV_FUZZ_CHECK((negative ? -v : v) == values[i], QStringLiteral("line %1 \"%2\" read as %3").arg(i + 1).arg(t).arg(values[i]));
  }
  for (int i = values.size(); i < lines.size(); ++i)
    PV_FUZZ_CHECK(lines[i].trimmed().isEmpty(), QStringLiteral("line %1 was dropped").arg(i + 1));

  QString again;
  for (uint8_t v : values) again += QString::number(v) + QLatin1Char('\n');
  QVector<uint8_t> reread;
  PV_FUZZ_CHECK(sim::ParseMemoryFile(again, &reread, &why) && reread == values, QStringLiteral("written back differs"));

  sim::DeviceSimulator unit;
  for (int i = 0; i < values.size(); ++i) unit.setCell(0, i, values[i]);
  QByteArray answers;
  unit.setSink([&](const QByteArray& b) { answers += b; });
  unit.receive(QByteArrayLiteral("PR\r"));
  for (int i = 0; i < values.size(); ++i) {
    answers.clear();
    QByteArray command("$R");
    command.append('\0').append(static_cast<char>(i)).append('\0').append('\r');
    unit.receive(command);
    PV_FUZZ_CHECK(answers.size() == 6 && answers[0] == '*' && static_cast<uint8_t>(answers[3]) == values[i],
                  QStringLiteral("cell %1 answers %2").arg(i).arg(QString::fromLatin1(answers.toHex(' '))));
  }
  return 0;
}

// A station of its own for the tests: writes N factory records with two
// rows each to the store named on the command line, then exits 0; 1 when
// the store cannot be opened, 2 when a record was refused.
//   records_writer LOCATION STATION COUNT
#include "records/RecordStore.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) return 64;
  const QString location = QString::fromLocal8Bit(argv[1]);
  const QString station = QString::fromLocal8Bit(argv[2]);
  const int count = QString::fromLatin1(argv[3]).toInt();
  QString why;
  auto store = pv::RecordStore::Open(location, &why);
  if (!store) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    pv::FactoryRecord r;
    r.kind = QString::fromLatin1(pv::kEventVerification);
    r.station = station;
    r.model = QStringLiteral("KRV2212A");
    r.label = QStringLiteral("%1-%2").arg(station).arg(i);
    r.rows = {{0, QStringLiteral("4 - 90 mV A"), QStringLiteral("Zero"), 0.001 * i, QString::number(i), -0.09, 0.09,
               QStringLiteral("mV"), QStringLiteral("green"), true},
              {1, QStringLiteral("4 - 90 mV A"), QStringLiteral("Span"), 90.0, QStringLiteral("90.000"), 89.91, 90.09,
               QStringLiteral("mV"), QStringLiteral("green"), true}};
    if (!store->putRecord(r, &why)) {
      std::fprintf(stderr, "%s\n", qPrintable(why));
      return 2;
    }
  }
  return 0;
}

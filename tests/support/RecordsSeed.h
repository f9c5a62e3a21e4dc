#pragma once
// A store of known factory records for the tests that read records back.
#include "records/RecordStore.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace pv::test {

inline FactoryRow Row(int seq, const char* step, const char* item, double value, double low, double high, bool pass) {
  return {seq, QString::fromLatin1(step), QString::fromLatin1(item), value, QString::number(value, 'f', 3), low, high,
          QStringLiteral("mV"), pass ? QStringLiteral("green") : QStringLiteral("red"), pass};
}

// Unit SN-1 (KRV2211A) fails its first calibration on the 200 mV gain and
// passes the second; SN-2 (KRV2211A) and SN-3 (KRV2212A) pass at once.
inline void Seed(const QString& location) {
  auto store = RecordStore::Open(location);
  ASSERT_TRUE(store);
  int minute = 0;
  auto calibration = [&](const char* model, const char* label, bool pass) {
    FactoryRecord r;
    r.kind = QString::fromLatin1(kEventCalibration);
    r.model = QString::fromLatin1(model);
    r.label = QString::fromLatin1(label);
    r.fingerprint = QStringLiteral("0123456789abcdef");
    r.station = QStringLiteral("bench-2");
    r.operatorName = QStringLiteral("Verdi, Anna");
    r.started = QDateTime(QDate(2026, 12, 3), QTime(8, minute++), Qt::UTC);
    r.ended = r.started.addSecs(50);
    r.outcome = QString::fromLatin1(pass ? kOutcomePass : kOutcomeFail);
    r.details = QJsonObject{{"ambient", 21.5},
                            {"instruments", QJsonArray{QJsonObject{{"name", "Calibrator"}, {"selector", "Com6"}}}}};
    r.rows = {Row(0, "0 90 mV A", "Max", 90.004, 89.91, 90.09, true),
              Row(1, "1 200 mV A", "k1", pass ? 1.001 : 1.250, 0.98, 1.02, pass)};
    ASSERT_TRUE(store->putRecord(r));
  };
  calibration("KRV2211A", "SN-1", false);
  calibration("KRV2211A", "SN-1", true);
  calibration("KRV2211A", "SN-2", true);
  calibration("KRV2212A", "SN-3", true);
}

} // namespace pv::test

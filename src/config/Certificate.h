#pragma once
// The certificate of a factory record: one A4 page drawn as the
// commissioning sheet is (Sheet.h), in the language of the state given. Top:
// unit (fingerprint), model, label, date, station, operator, instruments,
// ambient temperature and the result; then each measured value against its
// limits with its unit and pass or fail; a line for the signature.
#include "config/Sheet.h"
#include "records/FactoryRecord.h"

namespace pv {

namespace certificate_text {
inline constexpr int kTitle = 665, kFingerprint = 666, kModel = 667, kLabel = 668, kDate = 669, kStation = 670,
                     kOperator = 671, kInstruments = 672, kAmbient = 673, kResult = 674, kStep = 675, kValue = 676,
                     kLimits = 677, kMeasurements = 678, kSignature = 679, kPass = 680, kFail = 681, kStopped = 682,
                     kError = 683, kDone = 684, kRunning = 685, kRecords = 686, kKind = 687, kYieldTitle = 688,
                     kFailingTitle = 689, kTimeline = 690, kFilterHint = 691, kSince = 692, kAll = 693,
                     kCertificate = 694, kRefresh = 695, kStore = 696, kNoRecords = 697, kCalibration = 698,
                     kVerification = 699;
}

// "pass", "fail"... in the state's language.
QString OutcomeText(const AppState& s, const QString& outcome);
// "calibration", "verification" in the state's language; other kinds as stored.
QString KindText(const AppState& s, const QString& kind);
// "89.910 ... 90.090", "> 1.5", "< 2", or empty without limits.
QString LimitsText(const FactoryRow& row);

SheetContent CertificateContent(const AppState& s, const FactoryRecord& record);

} // namespace pv

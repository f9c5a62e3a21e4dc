// Test entry point: one application object for the whole run, offscreen.
#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // Every write saves the unit's cells first: never into the user's own
  // record store, and no old history of the user's is imported.
  QStandardPaths::setTestModeEnabled(true);
  QTemporaryDir records;
  qputenv("PLANOVIX_RECORDS", records.filePath(QStringLiteral("records.sqlite")).toLocal8Bit());
  qputenv("PLANOVIX_HISTORY_DIR", records.filePath(QStringLiteral("old-history")).toLocal8Bit());
  qputenv("PLANOVIX_RECORDS_OUTBOX", records.filePath(QStringLiteral("outbox.sqlite")).toLocal8Bit());
  // The command-line tool speaks the session's language; the suite reads its
  // English texts, also in the run under an Italian locale (numbers still
  // follow that locale). Tests of the Italian texts set their own.
  qputenv("LANGUAGE", "en");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// "Print / PDF..." in the editor: the program writes the commissioning sheet
// of what the editor shows, with the banks of a unit set by its switches.
#include "SimulatedProgram.h"
#include "app/ui/MainFrame.h"
#include "config/ui/EditorWindow.h"
#include "support/PdfText.h"
#include "switches/SwitchTables.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pv {
namespace {

struct SheetButton : test::SimulatedProgram {
  QTemporaryDir dir;
  void SetUp() override {
    if (!test::PopplerAvailable()) GTEST_SKIP() << "pdfinfo/pdftotext missing (./setup installs poppler-utils)";
  }
  void open() { program->frame()->findChild<QPushButton*>("Check1")->click(); }
  QPushButton* button() { return program->editorWindow()->findChild<QPushButton*>("cmd_Sheet"); }
};

TEST_F(SheetButton, WritesTheSheetOfTheUnitReadWithItsThreeBanks) {
  start("KRV2210");
  const auto f = FactorySwitchBytes(unit.identity());
  unit.setSwitches({f[0], f[1], f[2], 0});
  open();
  ASSERT_NE(button(), nullptr);
  EXPECT_EQ(button()->text(), "Stampa / PDF...");  // the program starts in Italian
  // The name typed without its extension still gives a PDF.
  user.expectFile(dir.filePath("TT101"));
  button()->click();
  const QString pdf = dir.filePath("TT101.pdf");
  ASSERT_TRUE(QFile::exists(pdf));
  EXPECT_EQ(test::PdfPages(pdf), 1);
  const QString text = test::PdfTextCompact(pdf);
  for (const char* s : {"Schedadimessainservizio", "KRV2210", "Dispositivocollegato", "Ingresso", "Soglie",
                        "InterruttoriDIP", "SW1", "SW2", "SW3"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s << "\n" << text.toStdString();

  // In English after a language change, and cancelling writes nothing.
  program->SetLanguage(1);
  EXPECT_EQ(button()->text(), "Print / PDF...");
  user.expectFile(QString());
  EXPECT_FALSE(program->PrintSheet());
  user.expectFile(dir.filePath("en.pdf"));
  ASSERT_TRUE(program->PrintSheet());
  EXPECT_TRUE(test::PdfTextCompact(dir.filePath("en.pdf")).contains("DIPswitches"));

  // A configuration opened from a file is the file's: its name, no banks
  // (they belong to the unit, not to the file).
  user.expectFile(dir.filePath("TT101.DST"));
  program->FileSave(true);
  user.expectFile(dir.filePath("TT101.DST"));
  program->FileOpen();
  user.expectFile(dir.filePath("file.pdf"));
  ASSERT_TRUE(program->PrintSheet());
  const QString fromFile = test::PdfTextCompact(dir.filePath("file.pdf"));
  EXPECT_TRUE(fromFile.contains("SourceTT101.DST")) << fromFile.toStdString();
  EXPECT_TRUE(fromFile.contains("KRV2210"));
  EXPECT_FALSE(fromFile.contains("DIPswitches"));
}

TEST_F(SheetButton, AFolderThatCannotTakeThePdfIsReported) {
  start("KRV2212A");
  open();
  user.expectFile(dir.filePath("missing/folder/x.pdf"));
  user.expect(Answer::Ok);
  EXPECT_FALSE(program->PrintSheet());
  EXPECT_FALSE(QFile::exists(dir.filePath("missing/folder/x.pdf")));
}

} // namespace
} // namespace pv

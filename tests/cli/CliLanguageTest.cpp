// planovix-cli's two languages and its progress line: the help and the
// common messages follow the locale, results and exit codes do not.
#include "CliLanguage.h"
#include "CliProgress.h"
#include "CliRig.h"
#include "text/StringTable.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace pv {
namespace {

// Sets the locale variables for one test and puts the old ones back.
class Locale {
public:
  explicit Locale(const char* all, const char* language = "") {
    for (const char* v : kVars) saved_.append(qgetenv(v));
    for (const char* v : kVars) qunsetenv(v);
    qputenv("LC_ALL", all);
    if (*language) qputenv("LANGUAGE", language);
  }
  ~Locale() {
    for (int i = 0; i < kVars.size(); ++i) {
      if (saved_[i].isNull()) qunsetenv(kVars[i]);
      else qputenv(kVars[i], saved_[i]);
    }
  }

private:
  static inline const QList<const char*> kVars = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  QList<QByteArray> saved_;
};

QSet<QString> Options(const QString& text) {
  QSet<QString> found;
  for (const auto& m : QRegularExpression(QStringLiteral("--[a-z][a-z-]*")).globalMatch(text)) found << m.captured();
  return found;
}

TEST(CliLanguage, HelpFollowsTheLocale) {
  test::Cli c;
  {
    Locale it("it_IT.UTF-8");
    EXPECT_EQ(c.run({"--help"}), 0);
    EXPECT_TRUE(c.out.startsWith("Uso: planovix-cli [--port PORTA]")) << c.out.left(80).toStdString();
    EXPECT_TRUE(c.out.contains("Codici di uscita:"));
    EXPECT_FALSE(c.out.contains("Exit codes:"));
  }
  {
    Locale en("en_GB.UTF-8");
    EXPECT_EQ(c.run({"--help"}), 0);
    EXPECT_TRUE(c.out.startsWith("Usage: planovix-cli [OPTIONS] COMMAND"));
    EXPECT_TRUE(c.out.contains("Exit codes:"));
  }
  {
    // LANGUAGE chooses over an English locale, as for other programs.
    Locale both("en_US.UTF-8", "it:en");
    EXPECT_EQ(c.run({"--help"}), 0);
    EXPECT_TRUE(c.out.startsWith("Uso: planovix-cli"));
  }
}

TEST(CliLanguage, BothHelpsNameTheSameOptionsAndCommands) {
  const QString it = LoadText(clitext::Help), en = LoadText(clitext::Help + 300);
  EXPECT_EQ(Options(it), Options(en));
  for (const char* command : {"identify", "read-config OUT.DST", "write-config IN.DST", "show-config [IN.DST]",
                              "cells BANK FIRST COUNT", "switches", "measure N", "129, 130, 143"}) {
    EXPECT_TRUE(it.contains(QLatin1String(command))) << command;
    EXPECT_TRUE(en.contains(QLatin1String(command))) << command;
  }
}

TEST(CliLanguage, MessagesChangeExitCodesDoNot) {
  test::Cli c;
  struct Case {
    QStringList args;
    const char* italian;
    const char* english;
  };
  const Case cases[] = {
      {{"frobnicate"}, "planovix-cli: comando sconosciuto frobnicate (vedi --help)\n",
       "planovix-cli: unknown command frobnicate (see --help)\n"},
      {{"--bogus", "identify"}, "planovix-cli: opzione sconosciuta --bogus (vedi --help)\n",
       "planovix-cli: unknown option --bogus (see --help)\n"},
      {{"--port"}, "planovix-cli: --port vuole un valore (vedi --help)\n",
       "planovix-cli: --port needs a value (see --help)\n"},
      {{"--yes"}, "planovix-cli: nessun comando (vedi --help)\n", "planovix-cli: no command given (see --help)\n"},
  };
  for (const Case& k : cases) {
    int italian = 0, english = 0;
    {
      Locale it("it_IT.UTF-8");
      italian = c.run(k.args);
      EXPECT_EQ(c.err, QString::fromUtf8(k.italian));
    }
    {
      Locale en("C.UTF-8");
      english = c.run(k.args);
      EXPECT_EQ(c.err, QString::fromUtf8(k.english));
    }
    EXPECT_EQ(italian, 2);
    EXPECT_EQ(english, italian);
  }
}

TEST(CliLanguage, JsonIsTheSameInBothLanguages) {
  test::Cli c;
  ASSERT_EQ(c.run({"read-config", c.file("u.DST")}), 0) << c.err.toStdString();
  QString italian, english;
  {
    Locale it("it_IT.UTF-8");
    ASSERT_EQ(c.run({"--json", "show-config", c.file("u.DST")}), 0);
    italian = c.out;
    ASSERT_EQ(c.run({"--json", "identify"}), 0);
    italian += c.out;
  }
  {
    Locale en("en_US.UTF-8");
    ASSERT_EQ(c.run({"--json", "show-config", c.file("u.DST")}), 0);
    english = c.out;
    ASSERT_EQ(c.run({"--json", "identify"}), 0);
    english += c.out;
  }
  EXPECT_FALSE(english.isEmpty());
  EXPECT_EQ(italian, english);
}

TEST(CliLanguage, VersionIsTheProjects) {
  test::Cli c;
  EXPECT_EQ(c.run({"--version"}), 0);
  EXPECT_EQ(c.out, QStringLiteral("planovix-cli " PV_PROJECT_VERSION "\n"));
  EXPECT_TRUE(c.err.isEmpty());
  // The product title carries the same major.minor.
  const QString version = QStringLiteral(PV_PROJECT_VERSION);
  EXPECT_EQ(LoadText(BrandBase(0) + brand::ProductTitle), "PLANOVIX v." + version.section('.', 0, 1));
}

TEST(CliProgress, OnATerminalOneLineRewritten) {
  Locale en("C.UTF-8");
  QString text;
  {
    QTextStream err(&text);
    CliProgress p(err, true);
    p.step(progress::Cells, 3, 10);
    p.step(progress::Cells, 3, 10);  // unchanged: not drawn again
    p.step(progress::Cells, 4, 10);
    p.clear();
    p.clear();  // nothing left to wipe
    p.step(progress::Unit, 2, 0);
    p.step(progress::Row, 1, 7);
    p.step(progress::Point, 2, 3);
    p.step(progress::PointOpen, 12, 0);
  }  // the end wipes the line
  EXPECT_EQ(text, QStringLiteral("\rcells 3 of 10\x1b[K\rcells 4 of 10\x1b[K\r\x1b[K"
                                 "\runit 2\x1b[K\rrow 1 of 7\x1b[K\rpoint 2 of 3\x1b[K\rpoint 12\x1b[K\r\x1b[K"));
}

TEST(CliProgress, ItalianAndOff) {
  QString text;
  {
    Locale it("it_IT.UTF-8");
    QTextStream err(&text);
    CliProgress p(err, true);
    p.step(progress::Cells, 1, 256);
    p.step(progress::Unit, 5, 0);
  }
  EXPECT_EQ(text, QStringLiteral("\rcelle 1 di 256\x1b[K\runità 5\x1b[K\r\x1b[K"));
  text.clear();
  {
    QTextStream err(&text);
    CliProgress p(err, false);
    p.step(progress::Cells, 1, 256);
    p.show(QStringLiteral("anything"));
    p.clear();
  }
  EXPECT_TRUE(text.isEmpty());
  // JSON is read by a program: never a progress line, terminal or not.
  EXPECT_FALSE(ShowsProgress(true));
}

} // namespace
} // namespace pv

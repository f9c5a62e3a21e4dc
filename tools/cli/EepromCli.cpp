#include "EepromCli.h"
#include "CliUnit.h"

#include "factory/EepromEditor.h"
#include "kernel/AtomicFile.h"
#include "link/DeviceLink.h"
#include "text/Texts.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pv {

namespace {

// A command checked and its input file read.
struct EepromJob {
  QString command;      // "eeprom", "peek" or "poke"
  QString sub;          // "read", "write" or "verify" for "eeprom"
  QString path;         // the memory file
  MemoryImage image{};  // the file's cells (write, verify)
  SingleFields fields;  // bank, address, format and value (peek, poke)
};

constexpr int kOk = kExitOk, kDevice = kExitDevice, kUsage = kExitUsage, kRefused = kExitRefused;

const char* FormatName(EepromFormat f) {
  switch (f) {
  case EepromFormat::Byte: return "byte";
  case EepromFormat::Int: return "int";
  case EepromFormat::Float: return "float";
  }
  return "byte";
}

AppState English() {
  AppState s;
  SetEnglish(s);
  return s;
}

void Json(QTextStream& out, const QJsonObject& o) {
  out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
}

int ExitFor(EepromResult r) {
  switch (r) {
  case EepromResult::Ok: return kOk;
  case EepromResult::Cancelled: return kRefused;
  case EepromResult::Invalid: return kUsage;
  case EepromResult::Differs:
  case EepromResult::Busy:
  case EepromResult::CommFailure:
  case EepromResult::IoError: return kDevice;
  }
  return kDevice;
}

} // namespace

namespace {

std::optional<EepromJob> PrepareEepromCommand(const QString& command, const QStringList& args,
                                              QTextStream& err, int* code) {
  const AppState en = English();
  *code = kUsage;
  auto usage = [&](const QString& text) -> std::optional<EepromJob> {
    err << "planovix-cli: " << text << " (see --help)\n";
    return std::nullopt;
  };
  EepromJob job;
  job.command = command;
  if (command == QLatin1String("eeprom")) {
    if (args.size() != 2) return usage(QStringLiteral("eeprom takes read|write|verify and a file name"));
    job.sub = args[0];
    job.path = args[1];
    if (job.sub == QLatin1String("read")) return job;
    if (job.sub != QLatin1String("write") && job.sub != QLatin1String("verify"))
      return usage(QStringLiteral("eeprom takes read, write or verify, not ") + job.sub);
    QByteArray bytes;
    QString why;
    if (!ReadInputFile(job.path, 1 << 20, &bytes, &why)) {
      err << "planovix-cli: cannot open " << job.path << ": " << why << "\n";
      return std::nullopt;
    }
    const MemoryParse parsed = ParseMemoryFile(en, bytes);
    if (!parsed.image) {
      err << "planovix-cli: " << job.path << " is not a memory file: " << parsed.error
          << " Nothing was sent to the unit.\n";
      return std::nullopt;
    }
    job.image = *parsed.image;
    return job;
  }

  const bool poke = command == QLatin1String("poke");
  if (args.size() != (poke ? 4 : 3))
    return usage(poke ? QStringLiteral("poke takes BANK ADDR byte|int|float VALUE")
                      : QStringLiteral("peek takes BANK ADDR byte|int|float"));
  const std::optional<EepromFormat> format = ParseFormat(args[2]);
  if (!format) return usage(QStringLiteral("the format is byte, int or float, not ") + args[2]);
  job.fields.bank = args[0];
  job.fields.start = args[1];
  job.fields.format = *format;
  job.fields.fromValue = true;
  if (poke) job.fields.value = args[3];
  QString why;
  const bool ok = poke ? CheckWrite(en, job.fields, &why).has_value() : CheckPlace(en, job.fields, &why).has_value();
  if (!ok) {
    err << "planovix-cli: " << why << (poke ? " Nothing was sent to the unit." : "") << "\n";
    return std::nullopt;
  }
  return job;
}

int RunEepromCommand(const EepromJob& job, AppState& state, DeviceCommands& commands, DeviceLink& link,
                     Prompter& prompter, bool json, QTextStream& out, QTextStream& err) {
  EepromEditor editor(state, commands, link, prompter);

  if (job.command == QLatin1String("peek") || job.command == QLatin1String("poke")) {
    editor.fields = job.fields;
    const bool poke = job.command == QLatin1String("poke");
    const EepromResult r = poke ? editor.writeOne() : editor.readOne();
    if (r != EepromResult::Ok) return ExitFor(r);
    const int n = CellsOf(job.fields.format);
    const QStringList raw = {editor.fields.a, editor.fields.b, editor.fields.c};
    QJsonArray bytes;
    for (int i = 0; i < n; ++i) bytes.append(raw[i].toInt());
    const int bank = job.fields.bank.trimmed().toInt();
    const int address = job.fields.start.trimmed().toInt();
    const QString value = poke ? SingleValueText(job.fields.format,
                                                 {uint8_t(raw[0].toInt()), uint8_t(raw[1].toInt()),
                                                  uint8_t(raw[2].toInt())})
                               : editor.fields.value;
    if (json) {
      QJsonObject o{{"bank", bank},
                    {"address", address},
                    {"format", FormatName(job.fields.format)},
                    {"value", value},
                    {"bytes", bytes}};
      if (poke) o["written"] = n;
      Json(out, o);
    } else if (poke) {
      QStringList b;
      for (int i = 0; i < n; ++i) b << raw[i];
      out << "bank " << bank << ", cells " << address << ".." << address + n - 1 << ": " << b.join(' ')
          << " (" << value << ")\n";
    } else {
      out << value << "\n";
    }
    return kOk;
  }

  if (job.sub == QLatin1String("read")) {
    const EepromResult r = editor.readAll();
    if (r != EepromResult::Ok) return ExitFor(r);
    if (editor.saveTo(job.path) != EepromResult::Ok) return kDevice;
    if (json) {
      QJsonArray cells;
      // Held in a name: ranging over *editor.image() would read a dead temporary.
      const std::optional<MemoryImage> image = editor.image();
      for (uint8_t v : *image) cells.append(v);
      Json(out, QJsonObject{{"saved", job.path}, {"bank", 0}, {"cells", cells}});
    } else {
      out << "256 cells of bank 0 saved to " << job.path << "\n";
    }
    return kOk;
  }

  editor.setImage(job.image);
  if (job.sub == QLatin1String("write")) {
    const EepromResult r = editor.writeAll();
    if (r == EepromResult::Ok) {
      if (json) Json(out, QJsonObject{{"written", 256}, {"bank", 0}, {"verified", true}});
      else out << "256 cells of bank 0 written and read back\n";
    } else if (r == EepromResult::Differs && json) {
      QJsonArray cells;
      for (const CellDifference& d : editor.differences())
        cells.append(QJsonObject{{"cell", d.cell}, {"file", d.expected}, {"unit", d.actual}});
      Json(out, QJsonObject{{"written", 256}, {"bank", 0}, {"verified", false}, {"differences", cells}});
    }
    return ExitFor(r);
  }

  // verify
  const EepromResult r = editor.verify();
  if (r != EepromResult::Ok && r != EepromResult::Differs) return ExitFor(r);
  const std::vector<CellDifference>& diffs = editor.differences();
  if (json) {
    QJsonArray cells;
    for (const CellDifference& d : diffs)
      cells.append(QJsonObject{{"cell", d.cell}, {"file", d.expected}, {"unit", d.actual}});
    Json(out, QJsonObject{{"count", static_cast<int>(diffs.size())}, {"differences", cells}});
  } else {
    for (const CellDifference& d : diffs)
      out << "cell " << d.cell << ": file " << d.expected << ", unit " << d.actual << "\n";
    out << diffs.size() << (diffs.size() == 1 ? " cell differs\n" : " cells differ\n");
  }
  (void)err;
  return diffs.empty() ? kOk : kExitDiffer;
}

} // namespace

namespace {

int RunEeprom(CliRun& run) {
  const QStringList& words = run.args.words;
  int code = kExitUsage;
  const std::optional<EepromJob> job = PrepareEepromCommand(run.args.command, words, run.io.err, &code);
  if (!job) return code;
  const bool memory = run.args.command == QLatin1String("eeprom");
  CliUnit s(run, memory ? run.args.command + ' ' + words[0] : run.args.command);
  // Cells that differ from the file are the answer, not a failure.
  return RunOnUnit(
      run, s,
      [&] { return RunEepromCommand(*job, s.state, s.commands, s.link, s.link.prompter(), run.json(), run.io.out, run.io.err); },
      {kExitDiffer});
}

} // namespace

int EepromCommand(CliRun& run) { return RunEeprom(run); }
int PeekCommand(CliRun& run) { return RunEeprom(run); }
int PokeCommand(CliRun& run) { return RunEeprom(run); }

} // namespace pv

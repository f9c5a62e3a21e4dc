#include "EepromCli.h"

#include "kernel/AtomicFile.h"
#include "link/DeviceLink.h"
#include "text/Texts.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pv {

namespace {

// Exit codes shared with the rest of the tool.
constexpr int kOk = 0, kDevice = 1, kUsage = 2, kRefused = 3;

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
  s.languageIndex = 1;
  s.languageOffset = 300;
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

bool IsEepromCommand(const QString& command) {
  return command == QLatin1String("eeprom") || command == QLatin1String("peek") || command == QLatin1String("poke");
}

QString EepromHelpText() {
  return QStringLiteral(
      "Cell memory (factory):\n"
      "  eeprom read OUT.dat    cells 0..255 of bank 0 saved as a memory file (256\n"
      "                         lines, one decimal value a line)\n"
      "  eeprom write IN.dat    writes the file's 256 values to cells 0..255 of bank 0\n"
      "                         (an OK/Cancel question: needs --yes), reads them back\n"
      "                         and names the cells that differ (exit 1)\n"
      "  eeprom verify IN.dat   compares bank 0 with the file: prints each differing\n"
      "                         cell (cell, file value, unit value); exit 4 when any\n"
      "                         differ. JSON: {\"count\":N,\"differences\":[{cell,file,unit}]}\n"
      "  peek BANK ADDR byte|int|float\n"
      "                         one value: byte 1 cell, int 2 cells (low byte first,\n"
      "                         value = H * 256 + L), float 3 cells (Float24: sign and\n"
      "                         exponent byte, then the mantissa bytes). Prints the value;\n"
      "                         JSON {bank, address, format, value, bytes}\n"
      "  poke BANK ADDR byte|int|float VALUE\n"
      "                         writes one value and reads it back. byte 0..255, int\n"
      "                         -32768..65535, float any value Float24 can hold\n"
      "  A memory file that is short, long or holds anything but whole numbers\n"
      "  0..255 is refused naming the line (exit 2), and nothing is sent.\n"
      "\n");
}

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

} // namespace pv

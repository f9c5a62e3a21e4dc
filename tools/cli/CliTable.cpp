#include "CliTable.h"
#include "CliLanguage.h"
#include "BatchCli.h"
#include "CalibrateCli.h"
#include "ConfigCli.h"
#include "DiffCli.h"
#include "EepromCli.h"
#include "InstrumentCli.h"
#include "RecordsCli.h"
#include "SheetCli.h"
#include "VerifyCli.h"

#include <algorithm>

namespace pv {

namespace {

// The options several commands share, as the help lists them.
const CliOption kPort{"--port", "PORT",
                      "\"COM 1\"..\"COM 8\" (resolved as the program does: PLANOVIX_COM<n>, else /dev/ttyUSB<n-1>, "
                      "/dev/ttyACM<n-1>, /dev/ttyS<n-1>) or a device path. Default \"COM 1\"."};
const CliOption kYes{"--yes", nullptr,
                     "answer OK to every OK/Cancel question (out-of-range values, a file from another version or for "
                     "another unit)"};
const CliOption kJson{"--json", nullptr, "results as JSON on standard output"};
const CliOption kRetries{
    "--retries", "N",
    "how many times a communication failure is tried again (default 2, 0..100). Reading cells, the link first tries "
    "three times by itself; when it then gives up (and at once for the identity \"$V\", switches and measurement "
    "frames) it asks Retry/Cancel, and the tool answers Retry N times in a row, then Cancel. Every retry is said on "
    "standard error. A routine that succeeds starts the count afresh."};
const CliOption kLabel{"--label", "TEXT",
                       "the unit's label (the serial number on its sticker), kept with the record store's entries of "
                       "this run; needed to tell apart units whose factory cells are blank"};
const CliOption kSupply{"--supply", "INSTRUMENT", "the power supply's port (default Com4)"};
const CliOption kCalibrator{"--calibrator", "INSTRUMENT", "the calibrator's port (default Com6)"};
const CliOption kMeter{"--meter", "INSTRUMENT", "multimeter 0 (default Com3)"};
const CliOption kMeterB{"--meter-b", "INSTRUMENT", "multimeter 1 (default: as --meter)"};
const CliOption kSwitch{"--switch", "INSTRUMENT", "the switching unit's port (default Com5)"};
const CliOption kGenerator{"--generator", "INSTRUMENT", "the function generator (default UsbDevice1)"};

// What every unit command takes.
std::vector<CliOption> Unit(std::initializer_list<CliOption> own = {}) {
  std::vector<CliOption> o{kPort, kYes, kJson, kRetries, kLabel};
  o.insert(o.end(), own);
  return o;
}

std::vector<CliOption> Instruments() {
  return {kSupply, kCalibrator, kMeter, kMeterB, kSwitch, kGenerator, kJson, kYes};
}

// The calibration station's: the unit's port and the bench's.
std::vector<CliOption> Station(std::initializer_list<CliOption> own) {
  std::vector<CliOption> o{kPort, kSupply, kCalibrator, kMeter, kMeterB, kSwitch, kGenerator, kJson, kYes};
  o.insert(o.end(), own);
  return o;
}

const char* const kUnitSection = "Commands";
const char* const kMemorySection = "Cell memory (factory)";
const char* const kCompareSection = "Compare and safe write";
const char* const kSheetSection = "Commissioning sheet";
const char* const kBatchSection = "Batch programming";
const char* const kBenchSection = "Bench instruments";
const char* const kCalibrationSection = "Factory calibration";
const char* const kVerifySection = "Calibration verification";
const char* const kRecordsSection = "Factory records";

// The records family parses its own subcommands; the table hands it the
// words and options as they were given.
int RecordsCommand(CliRun& run) {
  QStringList rest = run.args.words;
  for (const auto& [option, value] : run.args.values) rest << option << value;
  for (const QString& flag : run.args.flags)
    if (flag != QLatin1String("--json")) rest << flag;
  return RunRecordsCli(rest, run.json(), run.io.out, run.io.err);
}

const CliOption kLinearityPoints{"--points", "N", "stop after N lines (default: until Ctrl+C)"};

std::vector<CliCommand> MakeTable() {
  const unsigned unit = kOpensUnit, bench = kOpensBench, store = kOpensStore;
  std::vector<CliCommand> t = {
      {"identify", kUnitSection, "identify [--no-fingerprint]", "identity, model and fingerprint of the unit",
       "JSON keys device_code, variant, hardware_revision, spare, model, caption, fingerprint (16 hex digits: a digest "
       "of the identity and the factory cells that tell one unit of a model from another), fingerprint_blank (true "
       "when those cells are blank: every such unit shares the fingerprint), label (the one the record store keeps). "
       "--no-fingerprint reads the identity alone.",
       unit | store, Unit({{"--no-fingerprint", nullptr, "the identity and model only, no factory cells read"}}),
       IdentifyCommand},
      {"read-config", kUnitSection, "read-config OUT.DST", "read the unit and save its configuration file",
       "Reads the device as the program's Read does and saves the .DST. JSON: {\"saved\": OUT.DST}.", unit, Unit(),
       ReadConfigCommand},
      {"write-config", kUnitSection, "write-config IN.DST [--changed-only]", "write a configuration file to the unit",
       "Reads the device first, opens the file with its questions, runs the editor checks, writes to the device, "
       "reads it back and compares the written cells. What the unit held before is saved to the record store first. "
       "JSON: {\"written\": N}.",
       unit | store,
       Unit({{"--changed-only", nullptr,
              "send only the cells of the fields that differ from the unit (the rest are not rewritten)"}}),
       WriteConfigCommand},
      {"show-config", kUnitSection, "show-config [IN.DST]", "the configuration of the unit, or of a file",
       "Channels, trips and options as the editor shows them; with IN.DST the file alone (no port is opened).", unit,
       Unit(), ShowConfigCommand},
      {"cells", kUnitSection, "cells BANK FIRST COUNT", "cell values",
       "Always as {\"bank\":B,\"first\":F,\"cells\":[...]}. BANK and FIRST are 0..255, COUNT 1..256.", unit, Unit(),
       CellsCommand},
      {"switches", kUnitSection, "switches", "the switch bytes and what they set",
       "Layout, input, output and option per channel, span and zero with their values and unit, the range check. "
       "JSON keys: switches (the bytes as answered, 2 or 4), bytes (the three banks), layout, channels [{input, "
       "output, optionCaption, option, software}] (software: the switches leave the channel to the stored "
       "configuration, \"EEPROM\"), span and zero {index, value, text} when the switches set a range, multiplier "
       "(frequency units), unit, limits, check (\"OK\", \"ERR\" or \"\").",
       unit, Unit(), SwitchesCommand},
      {"measure", kUnitSection, "measure N", "N measurement frames, decoded",
       "Starts measuring as the measurement window does and prints N frames decoded: per channel the output and "
       "input as shown, under/over-range, and the three lamps. Text: one line per frame. JSON: "
       "{\"channels\":[{label, output_label, input_min, input_max, output_min, output_max, input_unit, "
       "output_unit}], \"frames\":[{time_ms, status, lamps {trip_a, trip_b, alarm} as \"green\"/\"yellow\"/\"red\", "
       "channels [{output, output_text, input (null when it cannot be computed), input_text, input_unit, "
       "under_range, over_range}]}]}.",
       unit, Unit(), MeasureCommand},

      {"eeprom", kMemorySection, "eeprom read OUT.dat | eeprom write IN.dat | eeprom verify IN.dat",
       "bank 0 to or from a memory file",
       "read: cells 0..255 of bank 0 saved as a memory file (256 lines, one decimal value a line).\n"
       "write: writes the file's 256 values to cells 0..255 of bank 0 (an OK/Cancel question: needs --yes), reads "
       "them back and names the cells that differ (exit 1).\n"
       "verify: compares bank 0 with the file: prints each differing cell (cell, file value, unit value); exit 4 "
       "when any differ. JSON: {\"count\":N,\"differences\":[{cell,file,unit}]}.\n"
       "A memory file that is short, long or holds anything but whole numbers 0..255 is refused naming the line "
       "(exit 2), and nothing is sent.",
       unit | store, Unit(), EepromCommand},
      {"peek", kMemorySection, "peek BANK ADDR byte|int|float", "one value from the cells",
       "byte 1 cell, int 2 cells (low byte first, value = H * 256 + L), float 3 cells (Float24: sign and exponent "
       "byte, then the mantissa bytes). Prints the value; JSON {bank, address, format, value, bytes}.",
       unit, Unit(), PeekCommand},
      {"poke", kMemorySection, "poke BANK ADDR byte|int|float VALUE", "write one value and read it back",
       "byte 0..255, int -32768..65535, float any value Float24 can hold. A value the cells cannot hold is refused "
       "and nothing is sent.",
       unit | store, Unit(), PokeCommand},

      {"diff", kCompareSection, "diff A B", "compare two configurations field by field",
       "A and B are each a .DST file or the word device (the unit as read now). Prints field, both values and the "
       "unit; JSON {a, b, equal, fields [{key, field, a, b, unit}]}. Exits 0 when equal, 4 when they differ. Two "
       "files never open the port.",
       unit, Unit(), DiffCommand},
      {"restore", kCompareSection, "restore last|ID|FILE [--include-calibration]",
       "put back the cells a record store entry saved",
       "Every write saves the cells it replaces first (see the README); restore writes them back, then reads them "
       "all back and compares. last: the connected unit's newest entry, found by its fingerprint (and by --label "
       "when its factory cells are blank); a damaged newest entry is an error naming it, never skipped. ID: entry "
       "number ID (see history). FILE: an entry file of the old JSON history. An entry of another unit is refused "
       "(exit 3) without --yes. Only the configuration cells of bank 0 are put back; --include-calibration puts "
       "back the factory cells and other banks too. What the unit held before becomes a new entry, so a restore can "
       "be undone.",
       unit | store,
       Unit({{"--include-calibration", nullptr, "put back the factory cells and the other banks too"}}),
       RestoreCommand},
      {"history", kCompareSection, "history [FINGERPRINT]", "the record store's entries, newest first",
       "Number, time, command, model, identity, fingerprint, label and cells; a damaged entry says DAMAGED and why. "
       "JSON {store, import, entries [{id, time, command, model, identity, fingerprint, fingerprint_after, blank, "
       "label, cells [[bank, address, value]...]} or {id, damaged}]}. No port is opened.",
       store, {kJson}, HistoryCommand},

      {"sheet", kSheetSection, "sheet OUT.pdf [IN.DST] [--lang it|en]", "the commissioning sheet as a PDF",
       "One A4 page: model, identity, date, the configuration with units, the trips and, for a unit set by its "
       "switches, the three banks. Without IN.DST the unit is read as Read does; with it, the file (its identity; "
       "no switch banks). JSON: {\"saved\": OUT.pdf}.",
       unit, Unit({{"--lang", "LANGUAGE", "the sheet's language, it or en (default en)"}}), SheetCommand, true},

      {"program", kBatchSection, "program IN.DST [--repeat] [--count N] [--log FILE.csv] [--model MODEL]",
       "write one file onto unit after unit",
       "Waits for a unit on the port, identifies it, writes IN.DST with the checks of write-config and compares the "
       "read-back, beeps (once: ok, three times: refused or failed) and appends a CSV line: time, model, identity "
       "(device code/variant/hardware revision/spare), result (ok, refused, failed), reason, cells written. With "
       "--repeat it then waits for the unit to be unplugged and for the next one, until Ctrl+C, SIGTERM or SIGHUP "
       "(the unit in hand is finished and read back first; the same signal again stops its write at the next cell) "
       "or N units (--count); a signal is the batch's normal end, so the exit code is the summary's. Every unit must "
       "be of one model: --model MODEL, else the model of the first unit written; a unit of another model is "
       "skipped unless --yes. Exit code 0 when every unit was written, 1 when one failed, 3 when none failed but "
       "one was refused.",
       unit | store,
       Unit({{"--repeat", nullptr, "go on with the next unit once this one is unplugged"},
             {"--count", "N", "stop after N units"},
             {"--log", "FILE.csv", "append a CSV line a unit"},
             {"--model", "MODEL", "the batch's model"},
             {"--ports", "PORTS", "gang programming: every port of the comma-separated list at once (\"COM 1,COM 2\"); "
                                  "one line per unit with its port, the CSV with port, fingerprint and label"}}),
       ProgramCommand},

      {"records", kRecordsSection, "records list|show|export|certificate|yield|sync [ARGS]",
       "the factory's records: calibrations and verifications",
       "Reads the record store ($PLANOVIX_RECORDS: a file, or postgresql://user@host/db shared by several "
       "stations); no port is opened.\n"
       "records list [--model M] [--since DATE] [--result pass|fail] [--unit FINGERPRINT|LABEL] [--kind K]: the "
       "records, newest first.\n"
       "records show ID: one record, its head, details and every measured row with its limits.\n"
       "records export --csv|--json [the list's filters]: every row of the records the filters take.\n"
       "records certificate ID OUT.pdf [--lang it|en]: the record's certificate, one A4 page.\n"
       "records yield [--by model|row]: first-pass yield per model, or the rows that fail most.\n"
       "records sync: sends the records this station kept while the server could not be reached, each once.",
       store,
       {kJson,
        {"--model", "MODEL", "only records of this model"},
        {"--since", "DATE", "only records from this day on (YYYY-MM-DD)"},
        {"--result", "RESULT", "pass or fail (fail takes failed, stopped and errored runs)"},
        {"--unit", "UNIT", "a unit's fingerprint or label"},
        {"--kind", "KIND", "calibration or verification"},
        {"--csv", nullptr, "export as CSV"},
        {"--lang", "LANGUAGE", "the certificate's language, it or en"},
        {"--by", "WHAT", "yield by model or by row"}},
       RecordsCommand, true},

      {"supply", kBenchSection, "supply on|off VOLTS", "set the power supply",
       "\"SV VOLTS\" with two decimals, 0 to 30 V, then KOE / KOD.", bench, Instruments(), SupplyCommand},
      {"supply-current", kBenchSection, "supply-current", "the supply current in mA",
       "Exit 1 when the supply gives no full answer within one second.", bench, Instruments(), SupplyCurrentCommand},
      {"calibrator-function", kBenchSection, "calibrator-function F [SENSOR]", "the calibrator's output function",
       "F = 0..5, or 8 / 9 with a sensor code 0..255.", bench, Instruments(), CalibratorFunctionCommand},
      {"calibrator-set", kBenchSection, "calibrator-set VALUE", "the calibrator's output value",
       "A whole number in the calibrator's units (90 mV is 90000).", bench, Instruments(), CalibratorSetCommand},
      {"ambient", kBenchSection, "ambient", "ambient temperature measured by the calibrator", "", bench,
       Instruments(), AmbientCommand},
      {"meter-setup", kBenchSection, "meter-setup INDEX REM|LOC VOLT|CURR", "set multimeter 0 or 1", "", bench,
       Instruments(), MeterSetupCommand},
      {"meter-read", kBenchSection, "meter-read INDEX", "reading of multimeter 0 or 1, x 1000 (mV or mA)", "", bench,
       Instruments(), MeterReadCommand},
      {"meter-beep", kBenchSection, "meter-beep", "beep multimeter 0", "", bench, Instruments(), MeterBeepCommand},
      {"route", kBenchSection, "route PATTERN", "set the switching unit",
       "Groups of a three-digit channel and A (open) or C (close), e.g. 101A102C.", bench, Instruments(),
       RouteCommand},
      {"generator", kBenchSection, "generator on|off | generator freq F | generator ttl|tacho|bounce [F]",
       "the function generator's buttons",
       "on|off: output on or off. freq F: the frequency in Hz (0.000001 to 20000000). ttl|tacho|bounce: the "
       "production test waveforms (reset, frequency F, default 1000, then the waveform and output on); bounce sends "
       "4000 points.",
       bench, Instruments(), GeneratorCommand},
      {"generator-send", kBenchSection, "generator-send TEXT...", "one command to the function generator",
       "The words joined by blanks, sent with end-of-message.", bench, Instruments(), GeneratorSendCommand},

      {"calibrate", kCalibrationSection,
       "calibrate MODEL [--rows LIST] [--channels A,B] [--no-consumption] [--no-switch-check] [--no-verify] "
       "[--no-final-program] [--load-default] [--settle SECONDS] [--model-dir DIR] [--state FILE] [--resume FILE] "
       "[--on-question abort|retry|ignore] [--time-scale F]",
       "the factory calibration run as an automated station",
       "MODEL is a model code (KRV2211A); rows, channels and options default to what the model's button ticks; "
       "settle time 4 s. The model file MODEL.dat is looked for in --model-dir, the working directory, "
       "../share/planovix/models beside the program, then the source tree's data/models. --state saves the grid "
       "after every row, with the model and the unit it belongs to; --resume runs \"Riprendi\" on a saved grid "
       "(rows all green are skipped), only on the unit and model it was saved from (else exit 2, nothing written). "
       "Abort/Retry/Ignore questions are answered by --on-question (default abort; the same question is retried at "
       "most 5 times). An interrupt (Ctrl-C) stops the run after the row that runs.\n"
       "Exit: 0 every run cell green, 4 a red cell, 3 stopped, 1 error end, 2 usage or bad input.",
       unit | bench | store,
       Station({{"--rows", "LIST", "grid rows 0..21 separated by commas"},
                {"--channels", "LIST", "A, B or A,B"},
                {"--no-consumption", nullptr, "skip the consumption row"},
                {"--no-switch-check", nullptr, "skip the switch check"},
                {"--no-verify", nullptr, "skip the verification"},
                {"--no-final-program", nullptr, "skip the final programming"},
                {"--load-default", nullptr, "\"Carica Default\" first"},
                {"--settle", "SECONDS", "settle time, 0 to 600 (default 4)"},
                {"--model-dir", "DIR", "where MODEL.dat is looked for first"},
                {"--state", "FILE", "save the grid after every row"},
                {"--resume", "FILE", "run \"Riprendi\" on a saved grid"},
                {"--on-question", "ANSWER", "abort, retry or ignore"},
                {"--time-scale", "F",
                 "every wait and time-out at F (0.05..1) times its length (an answer is still awaited up to 0.3 s, a "
                 "pause of 0.1 s or more lasts 40 ms at least): for a simulated bench only, a real unit needs the "
                 "full pauses"}}),
       CalibrateCommand},
      {"calibrate-power", kCalibrationSection, "calibrate-power on|off", "the calibration window's ON / OFF",
       "The supply at 24.00 V, or off (\"Manuale\": a reminder).\nExit: 0 done, 1 device or instrument failure, 2 "
       "usage or bad input.",
       bench, Station({{"--time-scale", "F", "waits at F times their length (simulated bench)"}}),
       CalibratePowerCommand},
      {"tara-canale", kCalibrationSection, "tara-canale A|B [V2000 V1000]", "\"Tara Canale A/B\"",
       "The unit's readings with the 2000 and 1000 ohm references (default 15225 10324) give Veq, written to cells "
       "65, 66 (A) or 44, 45 (B); prints Veq and Req x 10; readings that give no resistance (Req 0 or less) are "
       "refused (exit 2).",
       unit | bench, Station({{"--time-scale", "F", "waits at F times their length (simulated bench)"}}),
       TaraCanaleCommand},
      {"linearity-output", kCalibrationSection, "linearity-output [--points N] [--file F]",
       "\"lett mult\": the output's linearity",
       "Channel A's output forced from code 801 up to 4040 and round again, the meter (--meter, default Com8) read "
       "each time; code TAB volts lines to F (default linear.dat) until N lines or Ctrl-C.",
       unit | bench,
       Station({kLinearityPoints,
                {"--file", "FILE", "the lines' file (default linear.dat)"},
                {"--time-scale", "F", "waits at F times their length (simulated bench)"}}),
       LinearityOutputCommand},
      {"linearity-2ch", kCalibrationSection, "linearity-2ch [--points N] [--file F]",
       "\"2 ch compl.\": both channels' linearity",
       "Both channels on 800 mV, the calibrator stepped by 0.01 mV from 0; meters --meter (default Com1, channel "
       "A) and --meter-b (default Com2, channel B); the input cells it changes are saved to the write history first "
       "and put back at the end.",
       unit | bench | store,
       Station({kLinearityPoints,
                {"--file", "FILE", "the lines' file (default linear.dat)"},
                {"--time-scale", "F", "waits at F times their length (simulated bench)"}}),
       LinearityTwoChannelsCommand},

      {"verify-calibration", kVerifySection,
       "verify-calibration MODEL --input NAME --min X [--half Y] --max Z --output V|mA [--channel 0|1] "
       "[--supply-volts V]",
       "the verification run of a calibrated unit",
       "Supply on at V volts (18 to 30; left as it is without the option), the switching unit routed for MODEL's "
       "channel (default 0) and the input's wiring, then the calibrator at X, Y and Z (Y defaults to the middle) "
       "with one reading of multimeter 0 each; the report goes to stdout. NAME is a calibrator input as the window "
       "lists it (\"mVL (-20 : 200)\", \"mVH: (-200 : 800)\", \"V\", \"mA\", \"Tc J\" .. \"Tc N\", \"Pt100\", "
       "\"Pt1000\", \"Ni100\", \"Ni1000\", \"Ohm\", \"KOhm\"), case and blanks aside (TcK), or mVL and mVH. X, Y, Z "
       "are in mV, V, mA, degC or ohm as the input reads.\n"
       "Exit: 0 report complete, 1 instrument failure, 2 usage or a value refused (supply, input, range, channel).",
       bench,
       {kPort, kSupply, kCalibrator, kMeter, kSwitch,
        {"--input", "NAME", "the calibrator's input"},
        {"--min", "X", "the low point"},
        {"--half", "Y", "the middle point"},
        {"--max", "Z", "the high point"},
        {"--output", "OUTPUT", "V or mA"},
        {"--channel", "CHANNEL", "0 or 1"},
        {"--supply-volts", "V", "the supply, 18 to 30 V"}},
       VerifyCommand},
  };
  return t;
}

// Text wrapped to the width, each line indented; "\n" starts a paragraph.
QString Wrap(const QString& text, int indent, int width = 79) {
  QString out;
  const QString pad(indent, QLatin1Char(' '));
  for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
    QString line;
    for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
        out += pad + line + QLatin1Char('\n');
        line.clear();
      }
      line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty()) out += pad + line + QLatin1Char('\n');
  }
  return out;
}

QString OptionLine(const CliOption& o) {
  return QLatin1String(o.name) + (o.arg ? QLatin1Char(' ') + QLatin1String(o.arg) : QString());
}

QString OptionList(const std::vector<CliOption>& options) {
  QString out;
  for (const CliOption& o : options) out += QStringLiteral("  ") + OptionLine(o) + '\n' + Wrap(QLatin1String(o.help), 6);
  return out;
}

const char* const kExitCodes =
    "0 success\n"
    "1 device or communication failure (no answer, port missing, cells not written as sent, a write cut short), or "
    "a file that cannot be saved\n"
    "2 usage error or bad input (bad or short file, a value that does not fit its cell)\n"
    "3 a check refused: an OK/Cancel question without --yes, \"Device Changed\", an unsupported unit, a wrong "
    "thermocouple pairing, an entry of another unit, no backup possible (the record store cannot take the entry)\n"
    "4 a compare found differences (diff, eeprom verify)\n"
    "129, 130, 143 ended by SIGHUP, Ctrl+C (SIGINT) or SIGTERM (128 + the signal's number), after the unit was left "
    "out of programming mode";

const char* const kSignals =
    "Ctrl+C, SIGTERM and SIGHUP end a command the same way. A read stops at once; a cell write in hand finishes and "
    "is read back (send the signal again to stop it at the next cell); no new write starts. The unit is taken out "
    "of programming mode (\"$FPxx\") and a measurement is stopped (\"SM\"); the tool says what was done and what "
    "was not. Messages go to standard error in English.";

const char* const kInstrumentPorts =
    "INSTRUMENT: \"Com1\"..\"Com8\", \"Usb1\"..\"Usb4\", \"Manuale\", a device path or a resource "
    "(TCPIP::host::port::SOCKET). ComN resolves as --port does; UsbN (multimeter and generator only; elsewhere "
    "serial port N) and UsbDevice1 resolve to $PLANOVIX_USB<N>, else /dev/usbtmc<N-1>. Manuale: nothing is sent; "
    "the instruction goes to standard error and a reading is read from standard input. A silent instrument is "
    "given up after 3 s (1 s for the supply current).";

} // namespace

const std::vector<CliCommand>& CliCommands() {
  static const std::vector<CliCommand> table = MakeTable();
  return table;
}

const CliCommand* FindCliCommand(const QString& name) {
  const std::vector<CliCommand>& t = CliCommands();
  const auto it = std::find_if(t.begin(), t.end(), [&name](const CliCommand& c) { return name == QLatin1String(c.name); });
  return it == t.end() ? nullptr : &*it;
}

std::vector<CliOption> AllCliOptions() {
  std::vector<CliOption> all;
  for (const CliCommand& c : CliCommands())
    for (const CliOption& o : c.options)
      if (std::none_of(all.begin(), all.end(), [&o](const CliOption& k) { return qstrcmp(k.name, o.name) == 0; }))
        all.push_back(o);
  return all;
}

QString CliCommandWord(const QStringList& args) {
  const std::vector<CliOption> all = AllCliOptions();
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (!a.startsWith(QLatin1Char('-')) || a.size() == 1 || a[1].isDigit()) return a;
    const QString key = a.section(QLatin1Char('='), 0, 0);
    const auto option = std::find_if(all.begin(), all.end(), [&key](const CliOption& o) { return key == QLatin1String(o.name); });
    if (option != all.end() && option->arg && !a.contains(QLatin1Char('='))) ++i;
  }
  return {};
}

QString CliCommandHelp(const CliCommand& c) {
  QString out = QStringLiteral("Usage: planovix-cli [OPTIONS] ") + QLatin1String(c.synopsis) + QStringLiteral("\n\n");
  out += Wrap(QLatin1String(c.summary) + QLatin1Char('.'), 0);
  if (*c.help) out += '\n' + Wrap(QLatin1String(c.help), 0);
  if (!c.options.empty()) out += QStringLiteral("\nOptions:\n") + OptionList(c.options);
  if (c.opens & kOpensBench) out += '\n' + Wrap(QLatin1String(kInstrumentPorts), 0);
  return out;
}

namespace {

// Every command of the table by its synopsis and summary, under its section.
QString CommandList() {
  QString out, section;
  for (const CliCommand& c : CliCommands()) {
    if (section != QLatin1String(c.section)) {
      section = QLatin1String(c.section);
      out += '\n' + section + QStringLiteral(":\n");
    }
    out += QStringLiteral("  ") + QLatin1String(c.synopsis) + '\n' + Wrap(QLatin1String(c.summary), 6);
  }
  return out;
}

} // namespace

QString CliHelpText() {
  // In Italian: the tool's general part from the string table, then every
  // command of the table by its synopsis (the long help stays English).
  if (CliLanguageIndex() == 0) {
    return CliText(clitext::Help) + CommandList();
  }
  QString out = QStringLiteral(
      "Usage: planovix-cli [OPTIONS] COMMAND [ARGS]\n"
      "       planovix-cli COMMAND --help\n"
      "\n"
      "Configures a PLANOVIX signal conditioner over its programming cable, and\n"
      "drives the factory bench.\n"
      "\n"
      "Options of the unit's commands:\n");
  out += OptionList({kPort, kYes, kJson, kRetries, kLabel, {"--help", nullptr, "this text, or COMMAND's part"},
                     {"--version", nullptr, "the tool's version"}});
  out += CommandList();
  out += QStringLiteral("\nBench options:\n") + OptionList({kSupply, kCalibrator, kMeter, kMeterB, kSwitch, kGenerator});
  out += Wrap(QLatin1String(kInstrumentPorts), 2);
  out += QStringLiteral("\nExit codes:\n") + Wrap(QLatin1String(kExitCodes), 2);
  out += QStringLiteral("\nSignals:\n") + Wrap(QLatin1String(kSignals), 2);
  return out;
}

namespace {

// Text for troff: a leading dot or quote would be a request, a backslash
// an escape, a hyphen in an option a break point.
QString Roff(QString text) {
  text.replace(QLatin1Char('\\'), QStringLiteral("\\e")).replace(QLatin1Char('-'), QStringLiteral("\\-"));
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines)
    if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\''))) line.prepend(QStringLiteral("\\&"));
  return lines.join(QStringLiteral("\n.PP\n"));
}

} // namespace

QString CliManPage() {
  QString out = QStringLiteral(".TH PLANOVIX-CLI 1\n.SH NAME\nplanovix\\-cli \\- configure PLANOVIX signal "
                               "conditioners and drive the factory bench\n.SH SYNOPSIS\n.B planovix\\-cli\n"
                               "[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGS\\fR]\n.SH COMMANDS\n");
  for (const CliCommand& c : CliCommands()) {
    out += QStringLiteral(".TP\n.B ") + Roff(QLatin1String(c.synopsis)) + '\n' + Roff(QLatin1String(c.summary)) + '.';
    if (*c.help) out += QStringLiteral("\n.PP\n") + Roff(QLatin1String(c.help));
    out += '\n';
    for (const CliOption& o : c.options)
      out += QStringLiteral(".RS\n.TP\n.B ") + Roff(OptionLine(o)) + '\n' + Roff(QLatin1String(o.help)) +
             QStringLiteral("\n.RE\n");
  }
  out += QStringLiteral(".SH EXIT STATUS\n") + Roff(QLatin1String(kExitCodes)) + '\n';
  out += QStringLiteral(".SH SIGNALS\n") + Roff(QLatin1String(kSignals)) + '\n';
  return out;
}

} // namespace pv

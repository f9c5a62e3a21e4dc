#pragma once
// The simulated bench instruments, byte for byte as the factory windows
// talk to them. Each takes the program's bytes through receive(), in any
// chunking, answers through its sink and keeps a transcript of the commands
// it received (terminators included).
//
//   supply      2400 baud text: "SV 24.00" CR, "KOE" CR (on), "KOD" CR (off),
//               "A" CR -> "I0.018A" CR LF (characters 2..6: amperes)
//   calibrator  7-byte frames (address 1, command, D1..D4, checksum), every
//               byte answered at once by one byte: the byte itself, except
//               the data bytes of a read (0x01), which carry the reading
//   meter       SCPI lines: ":SYST:REM", ":CONF:VOLT:DC", ":READ?" (serial,
//               CR LF) or "CONF:VOLT:DC 100,0.001", "READ?" (socket, LF)
//   switch      "rout:open (@101)" / "rout:close (@101,102)"; no answers
//   generator   SCPI lines: "FREQuency 1000", "OUTPut ON", "DATA VOLATILE, ..."
//
// What an instrument measures or what the unit draws comes from the bench
// through callbacks; the instruments themselves know no physics.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <set>

namespace pv::bench {

class Instrument {
public:
  using Sink = std::function<void(const QByteArray&)>;
  virtual ~Instrument() = default;

  void setSink(Sink sink) { sink_ = std::move(sink); }
  virtual void receive(const QByteArray& bytes) = 0;

  // A silent instrument takes every command and answers nothing.
  void setSilent(bool silent) { silent_ = silent; }
  bool silent() const { return silent_; }

  const QList<QByteArray>& transcript() const { return transcript_; }
  // Entries that will not grow any more (a CR may still be followed by LF).
  qsizetype settledEntries() const { return transcript_.size() - (openEntry_ ? 1 : 0); }

protected:
  void send(const QByteArray& bytes) {
    if (!silent_ && sink_) sink_(bytes);
  }
  QList<QByteArray> transcript_;
  bool openEntry_ = false;

private:
  Sink sink_;
  bool silent_ = false;
};

// Line-oriented instruments: a command ends at CR or LF; a CR LF pair is
// one command. The command is acted on at its first terminator, so an
// answer never waits for a LF that may come in the next chunk.
class LineInstrument : public Instrument {
public:
  void receive(const QByteArray& bytes) override;

protected:
  // The line without its terminator.
  virtual void command(const QByteArray& line) = 0;

private:
  QByteArray line_;
};

// SCPI header matching: "CONFigure" matches "CONF" and "CONFIGURE" in any
// case. path is a header split at ':' without the leading colon.
bool ScpiMatch(const QStringList& path, const QStringList& pattern);
// Header nodes and the argument text of one SCPI command.
struct ScpiCommand {
  QStringList path;  // "CONF", "VOLT", "DC"
  bool query = false;
  QString arguments;  // after the first blank, trimmed
};
ScpiCommand ParseScpi(const QByteArray& line);
// A number as meters print it, locale-free: "+5.00012000E+00".
QByteArray ScpiNumber(double value);

class PowerSupply final : public LineInstrument {
public:
  // Current drawn in amperes for the output state and voltage.
  using Load = std::function<double(bool on, double volts)>;
  void setLoad(Load load) { load_ = std::move(load); }

  bool on() const { return on_; }
  double volts() const { return volts_; }
  double lastAnswerAmps() const { return lastAmps_; }
  int currentReads() const { return reads_; }

protected:
  void command(const QByteArray& line) override;

private:
  Load load_;
  bool on_ = false;
  double volts_ = 0;
  double lastAmps_ = 0;
  int reads_ = 0;
};

// What the calibrator sources: a kind and a value in SI units (V, A, ohm,
// degrees Celsius for the sensor simulations).
struct Source {
  enum class Kind { None, Voltage, Current, Resistance, Temperature } kind = Kind::None;
  double value = 0;
};

class Calibrator final : public Instrument {
public:
  void receive(const QByteArray& bytes) override;

  // Ambient temperature its internal sensor reads, in degrees Celsius.
  void setAmbient(double celsius) { ambient_ = celsius; }
  double ambient() const { return ambient_; }

  int function() const { return function_; }
  int sensor() const { return sensor_; }
  qint32 setting() const { return setting_; }  // last 0x81 value, two's complement
  Source output() const;
  bool measuring() const { return measuring_; }
  std::array<uint8_t, 4> measureSetup() const { return measureSetup_; }
  int badChecksums() const { return badChecksums_; }
  int temperatureReads() const { return temperatureReads_; }

private:
  void frame(const uint8_t f[7]);

  uint8_t bytes_[7]{};
  int at_ = 0;
  double ambient_ = 23.4;
  int function_ = 0, sensor_ = 0;
  qint32 setting_ = 0;
  bool measuring_ = false;
  std::array<uint8_t, 4> measureSetup_{};
  qint32 reading_ = 0;  // answered to the data bytes of a read
  int badChecksums_ = 0, temperatureReads_ = 0;
};

class Multimeter final : public LineInstrument {
public:
  enum class Function { Volt, Current };
  // The value at the meter's terminals in V or A for the function.
  using Probe = std::function<double(Function)>;
  // lineEnd: CR LF on the serial meters, LF on the socket.
  explicit Multimeter(QByteArray lineEnd) : lineEnd_(std::move(lineEnd)) {}
  void setProbe(Probe probe) { probe_ = std::move(probe); }

  Function function() const { return function_; }
  bool remote() const { return remote_; }
  double nplc() const { return nplc_; }
  QString range() const { return range_; }
  int readings() const { return readings_; }
  double lastReading() const { return last_; }
  // The most recent readings served, oldest first (at most kKeptReadings).
  const QList<double>& served() const { return served_; }
  static constexpr int kKeptReadings = 20;
  int beeps() const { return beeps_; }
  QStringList errors() const { return errors_; }

protected:
  void command(const QByteArray& line) override;

private:
  void configure(const ScpiCommand& c, const QString& what);
  QByteArray lineEnd_;
  Probe probe_;
  Function function_ = Function::Volt;
  bool remote_ = false;
  double nplc_ = 10;
  QString range_ = QStringLiteral("AUTO");
  int readings_ = 0, beeps_ = 0;
  double last_ = 0;
  QList<double> served_;
  QStringList errors_;
};

class SwitchUnit final : public LineInstrument {
public:
  const std::set<int>& closed() const { return closed_; }
  bool isClosed(int channel) const { return closed_.count(channel) != 0; }
  void close(int channel) { closed_.insert(channel); }
  void open(int channel) { closed_.erase(channel); }

protected:
  void command(const QByteArray& line) override;

private:
  std::set<int> closed_;
};

class FunctionGenerator final : public LineInstrument {
public:
  bool output() const { return output_; }
  double frequency() const { return frequency_; }
  QString shape() const { return shape_; }
  double volts() const { return volts_; }
  double offset() const { return offset_; }
  int userPoints() const { return static_cast<int>(volatile_.size()); }
  int storedPoints() const { return static_cast<int>(pulse_.size()); }
  QString load() const { return load_; }
  QStringList errors() const { return errors_; }

protected:
  void command(const QByteArray& line) override;

private:
  void one(const QByteArray& text);
  void reset();
  bool output_ = false;
  double frequency_ = 1000, volts_ = 0.1, offset_ = 0;
  QString shape_ = QStringLiteral("SIN"), load_ = QStringLiteral("50"), userName_;
  QList<double> volatile_, pulse_;
  QStringList errors_;
};

} // namespace pv::bench

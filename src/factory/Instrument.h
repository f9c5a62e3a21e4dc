#pragma once
// What every bench instrument driver shares: its name for messages, the
// selector it is reached through, one owner per link with one exchange at
// a time, bounded waits that end in Retry/Cancel, and the operator's side
// of manual mode.
//
// Waits: an instrument that answers takes well under a second; any wait
// for an answer gives up after kAnswerLimitMs and asks Retry/Cancel naming
// the instrument. Retry waits again for the same answer (nothing is sent
// twice); Cancel fails the calling operation.
//
// Failures reach the user once, through the Prompter (critical message),
// and the driver call returns a failure; lastError() keeps the text.
#include "factory/InstrumentPort.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace pv {

struct AppState;
class Clock;
class Prompter;
class SerialPort;

// Texts of the instrument messages (Italian ids; English is + 300).
namespace instrument_text {
inline constexpr int kNames = 200;        // 200..204 by InstrumentKind
inline constexpr int kSilent = 205;       // "%1 (%2) does not answer."
inline constexpr int kCannotOpen = 206;   // name, place, reason
inline constexpr int kCommError = 207;    // name, place, reason
inline constexpr int kBadAnswer = 208;    // name, place, answer
inline constexpr int kBusy = 209;         // name
inline constexpr int kNotNumber = 210;    // typed text
inline constexpr int kBadPort = 211;      // name, selector
inline constexpr int kOutOfRange = 212;   // name, value
} // namespace instrument_text

// Longest wait for an instrument's answer before asking Retry/Cancel.
inline constexpr qint64 kAnswerLimitMs = 3000;

enum class InstrumentKind { PowerSupply, Calibrator, Multimeter, SwitchingUnit, FunctionGenerator };

// The instrument's name in the current language ("Calibratore"...).
QString InstrumentName(const AppState& state, InstrumentKind kind);

// Everything the drivers need from the program.
struct Bench {
  const AppState& state;
  Clock& clock;
  Prompter& prompter;
  qint64 answerLimitMs = kAnswerLimitMs;
};

// A number from an instrument or the operator: plain decimal with '.', an
// optional sign and exponent, blanks and line endings around it; never the
// user's locale. Nothing when the text is not exactly one number.
std::optional<double> ParseReplyNumber(const QByteArray& text);

// An answer as text for a message: control characters as \xNN.
QString ShownReply(const QByteArray& bytes);

// The link owner shared by the drivers. The instruments that speak bytes
// of their own (supply, calibrator) use the serial port given at
// construction through the helpers below; the SCPI ones reach theirs
// through a session (ScpiInstrument).
class Instrument {
public:
  // rules: how this instrument reads its selector.
  Instrument(InstrumentKind kind, Bench& bench, SerialPort* port, qint32 baud,
             SelectorRules rules = ParseSerialInstrumentPort);
  virtual ~Instrument() = default;
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // The selector, read once here: a change takes effect at the next command.
  void setSelector(const QString& text) {
    selector_ = text;
    where_ = rules_(text);
  }
  // As the user gave it: a run's record names the instrument by it.
  QString selector() const { return selector_; }
  const InstrumentPort& where() const { return where_; }
  bool isManual() const { return where_.kind == PortKind::Manual; }

  // Opens the link the selector names, unless manual or already open on
  // it. Reports and returns false on failure; refused while an exchange runs.
  bool open();
  // Closes the link; refused while an exchange runs.
  void close();
  bool busy() const { return busy_; }
  QString name() const;
  QString lastError() const { return lastError_; }

protected:
  // Held for the length of one exchange; refuses a second one.
  class Exchange {
  public:
    explicit Exchange(Instrument& owner);
    ~Exchange();
    explicit operator bool() const { return held_; }

  private:
    Instrument& owner_;
    bool held_;
  };

  // open() and close() for the drivers, which hold the exchange already.
  virtual bool openLink();
  virtual void closeLink();
  // Where the link is, for messages: the device path or resource.
  QString place() const;
  bool send(const QByteArray& bytes);
  void pause(double seconds);
  QByteArray takeInput();
  void discardInput();
  // Collects input into buffer until done(buffer) holds or limitMs passes;
  // true when done. No question is asked.
  bool collect(QByteArray& buffer, const std::function<bool(const QByteArray&)>& done,
               qint64 limitMs);
  // As collect, bounded by the answer limit; on time-out asks Retry/Cancel.
  // False after Cancel or a port failure (reported).
  bool awaitAnswer(QByteArray& buffer, const std::function<bool(const QByteArray&)>& done);
  // Asks Retry/Cancel for a silent instrument; true on Retry.
  bool askRetry();

  // Manual mode: tell the operator (OK only), or ask for a reading.
  void tell(const QString& text);
  std::optional<QString> askReading(const QString& prompt);
  // A manual entry as a number; reports a non-number.
  std::optional<double> typedNumber(const QString& text);

  // Shows a critical message and keeps it as lastError(); returns false.
  bool fail(const QString& text);
  bool failComm(const QString& detail);
  void setLastError(const QString& text) { lastError_ = text; }
  QString tr(int id) const;

  InstrumentKind kind_;
  Bench& bench_;
  SerialPort* port_;
  qint32 baud_;

private:
  SelectorRules rules_;
  QString selector_;
  InstrumentPort where_;
  QString openPath_;
  QString lastError_;
  bool busy_ = false;
};

} // namespace pv

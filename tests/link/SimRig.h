#pragma once
// A unit on the bench for command tests: the simulator behind an in-memory
// port, simulated time, a scripted user and a feedback recorder.
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "kernel/AppState.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"
#include "support/ScriptedPrompter.h"

#include <utility>
#include <vector>

namespace pv::test {

class RecordingFeedback : public Feedback {
public:
  void setBusy(bool busy) override { busy_ = busy; }
  void setProgress(int done, int total) override { progress.emplace_back(done, total); }
  void setHourglass(bool on) override { hourglass = on; }
  void setPortFrameEnabled(bool on) override { portFrameEnabled = on; }
  void setCommWindowEnabled(bool on) override {
    commWindowEnabled = on;
    if (!on) commWindowDisabledOnce = true;
  }
  bool busy() const { return busy_; }

  std::vector<std::pair<int, int>> progress;
  bool hourglass = false, portFrameEnabled = false;
  bool commWindowEnabled = true, commWindowDisabledOnce = false;

private:
  bool busy_ = false;
};

struct SimRig {
  AppState state;
  FakeClock clock;
  MemorySerialPort port;
  sim::DeviceSimulator unit;
  sim::SimulatorLink link{unit, port, &clock};
  Transport transport{port, clock};
  ScriptedPrompter prompter;
  RecordingFeedback feedback;
  DeviceCommands commands{state, transport, prompter, feedback};

  explicit SimRig(const char* model = "KRV2212A") {
    unit.setModel(QString::fromLatin1(model));
    state.languageOffset = 300;  // English texts
    state.identity = unit.identity();
    port.open(QStringLiteral("sim"));
  }

  // Commands the unit received that start with the given mnemonic.
  std::vector<QByteArray> received(const char* mnemonic) const {
    std::vector<QByteArray> out;
    for (const QByteArray& c : unit.transcript())
      if (c.startsWith(mnemonic)) out.push_back(c);
    return out;
  }
  // Addresses of the "$R" commands, in the order they arrived.
  std::vector<int> readAddresses() const {
    std::vector<int> out;
    for (const QByteArray& c : received("$R")) out.push_back(static_cast<uint8_t>(c[3]));
    return out;
  }
};

// Matches "$R" commands for one address.
inline auto ReadOf(int address) {
  return [address](const QByteArray& c) {
    return c.startsWith("$R") && static_cast<uint8_t>(c[3]) == address;
  };
}

} // namespace pv::test

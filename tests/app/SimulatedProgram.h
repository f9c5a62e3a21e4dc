#pragma once
// The whole program on a bench: its windows started offscreen, a simulated
// unit behind an in-memory port, simulated time and a scripted user.
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "app/ui/MainFrame.h"
#include "app/ui/Program.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/ScriptedPrompter.h"

#include <QPushButton>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace pv::test {

// How many of the commands start with prefix.
inline int Count(const QList<QByteArray>& commands, const char* prefix) {
  int n = 0;
  for (const QByteArray& c : commands) n += c.startsWith(prefix);
  return n;
}

struct SimulatedProgram : ::testing::Test {
  MemorySerialPort port;
  FakeClock clock;
  ScriptedPrompter user;
  sim::DeviceSimulator unit;
  std::unique_ptr<sim::SimulatorLink> link;
  std::unique_ptr<Program> program;

  // Starts the program with a unit of this model on the line.
  void start(const char* model) {
    unit.setModel(QString::fromLatin1(model));
    link = std::make_unique<sim::SimulatorLink>(unit, port, &clock);
    program = std::make_unique<Program>(Program::Parts{&port, &clock, &user});
    program->Startup();
  }
  // Opens the port with the communication window's toggle, as a technician
  // does, and forgets what the start-up sent.
  void openPort() {
    program->frame()->findChild<QPushButton*>("Check1")->click();
    ASSERT_TRUE(port.isOpen());
    unit.clearTranscript();
  }
  void startOpen(const char* model = "KRV2212A") {
    start(model);
    openPort();
  }
  // Runs the action at the given simulated time from now, inside a wait.
  void at(qint64 ms, std::function<void()> action) { clock.schedule(clock.nowMs() + ms, std::move(action)); }
};

} // namespace pv::test

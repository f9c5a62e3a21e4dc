#pragma once
// The whole program on a bench: its windows started offscreen, a simulated
// unit behind an in-memory port, simulated time and a scripted user.
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "app/ui/Program.h"
#include "link/Clock.h"
#include "link/MemorySerialPort.h"
#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>
#include <memory>

namespace pv::test {

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
};

} // namespace pv::test

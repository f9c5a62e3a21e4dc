// The gang station window against simulated units on in-memory ports, each
// slot's port made on the slot's own thread: a unit of another model is
// refused on its lamp, Stop all pressed while a unit is written lets it
// finish, and closing the window waits for the units in hand.
#include "DeviceSimulator.h"
#include "SimulatorLink.h"
#include "config/ConfigDevice.h"
#include "config/ConfigFile.h"
#include "config/RangeTables.h"
#include "config/ui/StationWindow.h"
#include "kernel/Feedback.h"
#include "link/Clock.h"
#include "link/DeviceCommands.h"
#include "link/MemorySerialPort.h"
#include "link/Transport.h"
#include "support/LentPort.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRecords.h"
#include "text/StringTable.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

using namespace pv;

namespace {

// A simulated unit's port, made on the slot's thread; the unit itself is the
// test's and outlives the run. The wire is a base so that it is made before
// the port lent over it and goes after it.
struct SimWire {
  explicit SimWire(sim::DeviceSimulator& unit) : link(unit, port) {}
  MemorySerialPort port;
  sim::SimulatorLink link;
};

class SimPort final : private SimWire, public test::LentPort {
public:
  explicit SimPort(sim::DeviceSimulator& unit) : SimWire(unit), test::LentPort(SimWire::port) {}
};

struct Station : ::testing::Test {
  test::TempRecords records;
  QTemporaryDir dir;
  sim::DeviceSimulator good, odd;
  AppState state;
  test::ScriptedPrompter prompter;
  std::unique_ptr<StationWindow> window;

  void SetUp() override {
    odd.setModel(QStringLiteral("KRV2212B"));
    state.languageIndex = 1;
    state.languageOffset = ComputeLanguageOffset(1);
    window = std::make_unique<StationWindow>(state, prompter);
    window->setFile(saveFile());
    window->setPorts(QStringLiteral("sim-a, sim-b"));
    GangOptions o;
    o.store = records.path();
    o.pollMs = 100;
    // Slot 0 gets the good unit, slot 1 the odd one (by port name).
    o.makePort = [this](const GangPort& p) -> std::unique_ptr<SerialPort> {
      return std::make_unique<SimPort>(p.name == QLatin1String("sim-a") ? good : odd);
    };
    window->setGangOptions(o);
    window->show();
  }

  // The file: a KRV2212A's own configuration with one value changed.
  QString saveFile() {
    FakeClock clock;
    MemorySerialPort port;
    sim::DeviceSimulator unit;
    sim::SimulatorLink link(unit, port, &clock);
    port.open(QStringLiteral("sim"));
    AppState s;
    s.languageOffset = ComputeLanguageOffset(1);
    RangeTables tables;
    Feedback feedback;
    Transport transport(port, clock);
    DeviceCommands commands(s, transport, prompter, feedback);
    EditorModel model(s, tables);
    EXPECT_EQ(ReadEprom(model, commands), ConfigResult::Ok);
    ConfigFile file(model, prompter);
    const QString path = dir.filePath(QStringLiteral("station.DST"));
    EXPECT_EQ(file.saveTo(path), FileResult::Done);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray r = f.readAll();
    const double upper = 500;  // input upper, channel A
    std::memcpy(r.data() + 14, &upper, 8);
    f.seek(0);
    f.write(r);
    return path;
  }

  StationLamp* lamp(int i) { return window->findChild<StationLamp*>(QStringLiteral("lamp_Slot_%1").arg(i)); }
  QString label(const char* name) { return window->findChild<QLabel*>(QLatin1String(name))->text(); }
  QPushButton* button(const char* name) { return window->findChild<QPushButton*>(QLatin1String(name)); }
};

} // namespace

TEST_F(Station, StopAllWhileAUnitIsWrittenFinishesItAndTheOddUnitIsRefused) {
  ASSERT_TRUE(window->startAll()) << label("lbl_Message").toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return lamp(0)->state() == GangState::Writing; }, 20000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return lamp(1)->state() == GangState::Refused; }, 20000));
  EXPECT_TRUE(label("lbl_Reason_1").contains(QStringLiteral("12/3")));
  // Start again while the gang runs: nothing happens.
  EXPECT_FALSE(button("cmd_StartAll")->isEnabled());
  button("cmd_StartAll")->click();
  EXPECT_FALSE(window->startAll());
  button("cmd_StopAll")->click();
  EXPECT_EQ(label("lbl_Message"), LoadText(196 + 300));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->running(); }, 30000));
  EXPECT_EQ(lamp(0)->state(), GangState::Ok);
  EXPECT_EQ(lamp(1)->state(), GangState::Refused);
  EXPECT_EQ(label("lbl_Count_0"), QStringLiteral("1 ok, 0 refused, 0 failed"));
  EXPECT_EQ(label("lbl_Total"), QStringLiteral("Total: 1 ok, 1 refused, 0 failed"));
  EXPECT_TRUE(label("lbl_Model_0").startsWith(QStringLiteral("KRV2212A")));
  // Written: the changed value is in the unit; both left idle.
  auto writes = [](const sim::DeviceSimulator& u) {
    return std::count_if(u.transcript().begin(), u.transcript().end(), [](const QByteArray& c) { return c.startsWith("$W"); });
  };
  EXPECT_GT(writes(good), 0);
  EXPECT_EQ(writes(odd), 0);
  EXPECT_FALSE(good.programming());
  EXPECT_FALSE(odd.programming());
  EXPECT_EQ(records.entries().size(), 1u);
}

TEST_F(Station, ClosingTheWindowWaitsForTheUnitInHand) {
  ASSERT_TRUE(window->startAll());
  ASSERT_TRUE(QTest::qWaitFor([&] { return lamp(0)->state() == GangState::Writing; }, 20000));
  window->close();
  EXPECT_TRUE(window->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 30000));
  EXPECT_FALSE(window->running());
  EXPECT_EQ(lamp(0)->state(), GangState::Ok);
  EXPECT_FALSE(good.programming());
}

TEST_F(Station, ItalianCaptions) {
  state.languageIndex = 0;
  state.languageOffset = ComputeLanguageOffset(0);
  window->applyCaptions();
  EXPECT_EQ(button("cmd_StartAll")->text(), QStringLiteral("Avvia tutte"));
  EXPECT_EQ(label("lbl_Total"), QStringLiteral("Totale: 0 ok, 0 rifiutate, 0 fallite"));
}

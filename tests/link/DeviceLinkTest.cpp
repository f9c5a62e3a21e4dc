// The owner of the device link: one exchange at a time, the measurement's
// pre-emption, and what waits for the link to be free.
#include "link/Clock.h"
#include "link/DeviceLink.h"
#include "support/ScriptedPrompter.h"

#include <gtest/gtest.h>
#include <QStringList>

using namespace pv;
using pv::test::ScriptedPrompter;

namespace {
struct LinkBench : ::testing::Test {
  FakeClock clock;
  ScriptedPrompter user;
  DeviceLink link{clock, user};
  QStringList log;
  std::vector<bool> busy;
  void SetUp() override {
    QObject::connect(&link, &DeviceLink::busyChanged, [this](bool b) { busy.push_back(b); });
  }
  // Something pressed while the running exchange waits.
  void during(qint64 ms, std::function<void()> f) { clock.schedule(clock.nowMs() + ms, std::move(f)); }
};
} // namespace

TEST_F(LinkBench, ASecondExchangeStartedInsideAWaitIsRefused) {
  bool refused = false;
  during(100, [&] { refused = !link.run(Exchange::Read, [&] { log << "nested"; }); });
  EXPECT_TRUE(link.run(Exchange::Write, [&] {
    log << "write";
    link.clock().wait(500, nullptr);
    log << "write end";
  }));
  EXPECT_TRUE(refused);
  EXPECT_EQ(log, (QStringList{"write", "write end"}));
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
  EXPECT_FALSE(link.busy());
}

TEST_F(LinkBench, TheRunningExchangesOwnCallsArePartOfIt) {
  // A read's caption routine asks for cell 4 from the read's own code.
  EXPECT_TRUE(link.run(Exchange::Read, [&] {
    link.clock().wait(10, nullptr);
    EXPECT_TRUE(link.run(Exchange::Captions, [&] { log << "cell 4"; }));
    EXPECT_EQ(link.current(), Exchange::Read);
  }));
  EXPECT_EQ(log, (QStringList{"cell 4"}));
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
}

TEST_F(LinkBench, AQuestionToTheUserCountsAsAWait) {
  // A message box runs its own event loop: a press behind it is re-entry.
  struct Nested : Prompter {
    DeviceLink* link;
    bool ran = false;
    Answer ask(const QString&, const QString&, Buttons, Icon) override {
      ran = link->run(Exchange::Read, [] {});
      return Answer::Retry;
    }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override { return {}; }
    QString openFileName(const QString&, const QString&, const QStringList&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QStringList&) override { return {}; }
  } nested;
  DeviceLink own(clock, nested);
  nested.link = &own;
  own.run(Exchange::Write, [&] { own.prompter().ask("t", "Retry?", Buttons::RetryCancel, Icon::Critical); });
  EXPECT_FALSE(nested.ran);
}

TEST_F(LinkBench, AReadDuringARunStopsItAndFollowsItsEnd) {
  bool running = true;
  int stops = 0;
  LinkOutcome outcome = LinkOutcome::Refused;
  bool allowedBefore = false, allowedWhileStopping = true;
  during(250, [&] {
    allowedBefore = link.actionsAllowed();
    outcome = link.request(Exchange::Read, [&] {
      EXPECT_EQ(link.current(), Exchange::Read);
      log << "read";
    });
    allowedWhileStopping = link.actionsAllowed();
    // A second press while the run winds down is refused.
    EXPECT_EQ(link.request(Exchange::Write, [&] { log << "write"; }), LinkOutcome::Refused);
  });
  link.runPreemptible(
      Exchange::Measure,
      [&] {
        while (running) {
          link.clock().wait(100, nullptr);  // one frame
          log << "frame";
        }
        log << "SM";
      },
      [&] {
        ++stops;
        running = false;
      });
  EXPECT_EQ(outcome, LinkOutcome::Queued);
  EXPECT_TRUE(allowedBefore);
  EXPECT_FALSE(allowedWhileStopping);
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(log, (QStringList{"frame", "frame", "frame", "SM", "read"}));
  // Never free between the run and the read.
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
}

TEST_F(LinkBench, OnlyAMeasurementMayBePreempted) {
  LinkOutcome outcome = LinkOutcome::Ran;
  during(100, [&] { outcome = link.request(Exchange::Read, [&] { log << "read"; }); });
  link.run(Exchange::Write, [&] { link.clock().wait(300, nullptr); });
  EXPECT_EQ(outcome, LinkOutcome::Refused);
  EXPECT_TRUE(log.isEmpty());
  // And a second run does not start inside a first.
  bool second = true;
  during(100, [&] { second = link.runPreemptible(Exchange::Measure, [] {}, [] {}); });
  link.runPreemptible(Exchange::Measure, [&] { link.clock().wait(300, nullptr); }, [] {});
  EXPECT_FALSE(second);
}

TEST_F(LinkBench, WhatWaitsForTheLinkRunsAfterTheExchange) {
  // Exit during a write: the write finishes whole, then the exit.
  bool ranAtOnce = true;
  during(100, [&] { ranAtOnce = link.whenFree([&] { log << "exit"; }); });
  link.run(Exchange::Write, [&] {
    link.clock().wait(300, nullptr);
    log << "write end";
  });
  EXPECT_FALSE(ranAtOnce);
  EXPECT_EQ(log, (QStringList{"write end", "exit"}));
  // With the link free it runs at once.
  EXPECT_TRUE(link.whenFree([&] { log << "now"; }));
  EXPECT_EQ(log.last(), "now");
}

TEST_F(LinkBench, ExitDuringARunAsksTheRunToStop) {
  bool running = true;
  during(150, [&] { link.whenFree([&] { log << "close port"; }); });
  link.runPreemptible(
      Exchange::Measure,
      [&] {
        while (running) link.clock().wait(100, nullptr);
        log << "SM";
      },
      [&] { running = false; });
  EXPECT_EQ(log, (QStringList{"SM", "close port"}));
}

#pragma once
// The record store's two back ends for parameterised tests: a fresh SQLite
// file, or a fresh database on a PostgreSQL server of the test's own (one
// per test process, started at the first use, stopped with the suite).
//
//   class MyTest : public test::StoreBackendTest {};
//   TEST_P(MyTest, ...) { auto store = RecordStore::Open(location()); }
//   INSTANTIATE_TEST_SUITE_P(Backends, MyTest, test::kStoreBackends, test::BackendName);
#include "support/PostgresServer.h"
#include "support/TempRecords.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace pv::test {

inline const auto kStoreBackends = ::testing::Values(std::string("sqlite"), std::string("postgresql"));
inline std::string BackendName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

class StoreBackendTest : public ::testing::TestWithParam<std::string> {
public:
  static PostgresServer& server() {
    if (!server_) server_ = std::make_unique<PostgresServer>();
    return *server_;
  }
  static void TearDownTestSuite() { server_.reset(); }

protected:
  bool postgres() const { return GetParam() == "postgresql"; }
  void SetUp() override {
    if (!postgres()) {
      location_ = records_.path();
      return;
    }
    PostgresServer& s = server();
    ASSERT_TRUE(s.start()) << s.error().toStdString();
    const QString name = QStringLiteral("records_%1").arg(++databases_);
    ASSERT_TRUE(s.createDatabase(name)) << s.error().toStdString();
    location_ = s.url(name);
  }
  // The store under test (PLANOVIX_RECORDS names it too).
  QString location() const { return location_; }
  // The station's outbox, always a local file.
  QString outbox() const { return records_.dir.filePath(QStringLiteral("outbox.sqlite")); }

  TempRecords records_;
  QString location_;

private:
  static inline std::unique_ptr<PostgresServer> server_;
  static inline int databases_ = 0;
};

} // namespace pv::test

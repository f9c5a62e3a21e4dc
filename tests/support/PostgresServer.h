#pragma once
// A PostgreSQL server of the test's own: a fresh cluster in a temporary
// folder (initdb, then pg_ctl), reachable only on a Unix socket in that
// folder, stopped and removed when this goes. The server refuses to run as
// root, so under root (CI) it runs as "nobody".
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace pv::test {

class PostgresServer {
public:
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  // Starts the cluster; false with the reason in error() when it cannot.
  bool start();
  // Fast shutdown; the data stay, so start() brings the same server back.
  bool stop();
  bool running() const { return running_; }
  QString error() const { return error_; }

  // The folder of the server's socket ("host" of a connection).
  QString socketDir() const;
  static QString user() { return QStringLiteral("planovix"); }
  // Creates a database; false when it cannot.
  bool createDatabase(const QString& name);
  // A connection URL as the program takes it: postgresql://planovix@/NAME?host=SOCKETDIR
  QString url(const QString& database) const;

private:
  bool run(const QString& program, const QStringList& args, int timeoutMs = 60000);
  QString bin(const QString& tool) const;

  std::unique_ptr<QTemporaryDir> dir_;
  QString binDir_, error_;
  bool initialised_ = false, running_ = false;
};

} // namespace pv::test

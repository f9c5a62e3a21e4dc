#include "support/PostgresServer.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

#include <pwd.h>
#include <unistd.h>

namespace pv::test {

namespace {

// The newest installed server's programs (Debian keeps them out of PATH).
QString FindBinDir() {
  QDir lib(QStringLiteral("/usr/lib/postgresql"));
  QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  std::sort(versions.begin(), versions.end(),
            [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
  for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
    const QString dir = lib.filePath(*it + QStringLiteral("/bin"));
    if (QFile::exists(dir + QStringLiteral("/initdb"))) return dir;
  }
  const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
  return initdb.isEmpty() ? QString() : QFileInfo(initdb).absolutePath();
}

} // namespace

PostgresServer::PostgresServer() : dir_(std::make_unique<QTemporaryDir>()), binDir_(FindBinDir()) {}

PostgresServer::~PostgresServer() { stop(); }

QString PostgresServer::bin(const QString& tool) const { return binDir_ + '/' + tool; }

QString PostgresServer::socketDir() const { return dir_->filePath(QStringLiteral("run")); }

bool PostgresServer::run(const QString& program, const QStringList& args, int timeoutMs) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  if (geteuid() == 0) {
    // initdb and postgres refuse root.
    p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                   QStringLiteral("--clear-groups"), program} + args);
  } else {
    p.start(program, args);
  }
  if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    error_ = QStringLiteral("%1 failed: %2").arg(QFileInfo(program).fileName(), QString::fromLocal8Bit(p.readAll()));
    if (p.state() != QProcess::NotRunning) p.kill(), p.waitForFinished();
    return false;
  }
  return true;
}

bool PostgresServer::start() {
  if (running_) return true;
  if (binDir_.isEmpty()) {
    error_ = QStringLiteral("no PostgreSQL server installed (./setup installs postgresql-15)");
    return false;
  }
  if (!dir_->isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return false;
  }
  const QString data = dir_->filePath(QStringLiteral("data"));
  if (!initialised_) {
    // The server's own folders belong to the user it runs as.
    QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    QDir().mkpath(data);
    QDir().mkpath(socketDir());
    if (geteuid() == 0) {
      // Here, not through run(): that would already be "nobody".
      const passwd* nobody = ::getpwnam("nobody");
      for (const QString& d : {data, socketDir()})
        if (!nobody || ::chown(QFile::encodeName(d).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
          error_ = QStringLiteral("cannot give %1 to the user nobody").arg(d);
          return false;
        }
    }
    if (!run(bin(QStringLiteral("initdb")), {QStringLiteral("-D"), data, QStringLiteral("-U"), user(),
                                              QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                                              QStringLiteral("UTF8"), QStringLiteral("--no-sync")}))
      return false;
    initialised_ = true;
  }
  const QString options = QStringLiteral("-k %1 -c listen_addresses= -c fsync=off").arg(socketDir());
  if (!run(bin(QStringLiteral("pg_ctl")), {QStringLiteral("-D"), data, QStringLiteral("-w"), QStringLiteral("-o"), options,
                                            QStringLiteral("-l"), socketDir() + QStringLiteral("/server.log"),
                                            QStringLiteral("start")}))
    return false;
  running_ = true;
  return true;
}

bool PostgresServer::stop() {
  if (!running_) return true;
  running_ = false;
  return run(bin(QStringLiteral("pg_ctl")), {QStringLiteral("-D"), dir_->filePath(QStringLiteral("data")),
                                             QStringLiteral("-w"), QStringLiteral("-m"), QStringLiteral("fast"),
                                             QStringLiteral("stop")});
}

bool PostgresServer::createDatabase(const QString& name) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(bin(QStringLiteral("createdb")), {QStringLiteral("-h"), socketDir(), QStringLiteral("-U"), user(), name});
  if (!p.waitForFinished(30000) || p.exitCode() != 0) {
    error_ = QStringLiteral("createdb failed: ") + QString::fromLocal8Bit(p.readAll());
    return false;
  }
  return true;
}

QString PostgresServer::url(const QString& database) const {
  return QStringLiteral("postgresql://%1@/%2?host=%3").arg(user(), database, socketDir());
}

} // namespace pv::test

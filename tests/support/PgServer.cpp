#include "tests/support/PgServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

// The newest installed server's programs.
QString FindServerBin() {
  QDir base(QStringLiteral("/usr/lib/postgresql"));
  QStringList versions = base.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
  for (const QString& v : versions) {
    const QString bin = base.filePath(v + QStringLiteral("/bin"));
    if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl"))) return bin;
  }
  return {};
}

}  // namespace

bool TPgServer::Run(const QStringList& command, bool asServerUser, QString* output) {
  QProcess p;
  QStringList args = command;
  QString program = args.takeFirst();
  if (asServerUser && asNobody_) {
    args = QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), program} + args;
    program = QStringLiteral("runuser");
  }
  p.setWorkingDirectory(dir_);
  p.setProcessChannelMode(QProcess::MergedChannels);
  // The server's children must not hold the test's output open.
  p.setStandardInputFile(QProcess::nullDevice());
  p.start(program, args);
  if (!p.waitForStarted(10000)) {
    error_ = QStringLiteral("cannot start %1: %2").arg(program, p.errorString());
    return false;
  }
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    error_ = QStringLiteral("%1 did not finish").arg(command.first());
    return false;
  }
  const QString out = QString::fromLocal8Bit(p.readAll());
  if (output) *output = out;
  if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    error_ = QStringLiteral("%1 failed: %2").arg(command.first(), out.trimmed().right(600));
    return false;
  }
  return true;
}

TPgServer::TPgServer() {
  bin_ = FindServerBin();
  if (bin_.isEmpty()) {
    error_ = QStringLiteral("no PostgreSQL server programs under /usr/lib/postgresql (Debian package postgresql)");
    return;
  }
  char tmpl[] = "/tmp/korvane-pg-XXXXXX";
  if (!::mkdtemp(tmpl)) {
    error_ = QStringLiteral("cannot make a temporary folder");
    return;
  }
  dir_ = QString::fromLocal8Bit(tmpl);
  // The server refuses to run as root: then it runs as nobody, who must own its folder.
  asNobody_ = ::geteuid() == 0;
  if (asNobody_) {
    const passwd* pw = ::getpwnam("nobody");
    if (!pw || ::chown(tmpl, pw->pw_uid, pw->pw_gid) != 0) {
      error_ = QStringLiteral("running as root, and the folder cannot be given to the user nobody");
      return;
    }
  }
  const QString data = dir_ + QStringLiteral("/data");
  if (!Run({bin_ + QStringLiteral("/initdb"), QStringLiteral("-D"), data, QStringLiteral("-U"), User(),
            QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
            QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
           true))
    return;
  const QString options = QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off -c full_page_writes=off "
                                         "-c synchronous_commit=off -c max_connections=40")
                              .arg(dir_);
  if (!Run({bin_ + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), data, QStringLiteral("-l"),
            dir_ + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
            QStringLiteral("-o"), options, QStringLiteral("start")},
           true))
    return;
  running_ = true;
}

TPgServer::~TPgServer() {
  if (!dir_.isEmpty()) {
    if (running_)
      Run({bin_ + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), dir_ + QStringLiteral("/data"), QStringLiteral("-m"),
           QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
          true);
    QDir(dir_).removeRecursively();
  }
}

QString TPgServer::NewDatabase(const QString& name) {
  if (!running_) return {};
  if (!Run({bin_ + QStringLiteral("/createdb"), QStringLiteral("-h"), dir_, QStringLiteral("-U"), User(), name}, false))
    return {};
  return QStringLiteral("postgresql://%1@%2/%3").arg(User(), QString::fromUtf8(QUrl::toPercentEncoding(dir_)), name);
}

TPgServer& TPgServer::Shared() {
  static TPgServer server;
  return server;
}

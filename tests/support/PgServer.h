#pragma once
// A throw-away PostgreSQL server for tests and benchmarks: a cluster made with initdb in a
// temporary folder, started with pg_ctl on a Unix socket there (no TCP port), run by an
// unprivileged user (nobody, when the tests run as root), stopped and removed at the end.

#include <QString>

class TPgServer {
public:
  // Starts the server; Error() says why when it could not.
  TPgServer();
  ~TPgServer();
  TPgServer(const TPgServer&) = delete;
  TPgServer& operator=(const TPgServer&) = delete;

  bool Running() const { return running_; }
  const QString& Error() const { return error_; }
  // A new empty database; its store URL (postgresql://user@%2F...socket-folder/name).
  // Empty with Error() set on failure.
  QString NewDatabase(const QString& name);
  QString SocketFolder() const { return dir_; }
  QString User() const { return QStringLiteral("korvane"); }

  // One server for the whole test run, started on first use and stopped when the program ends.
  static TPgServer& Shared();

private:
  bool Run(const QStringList& command, bool asServerUser, QString* output = nullptr);

  QString bin_;
  QString dir_;
  bool running_ = false;
  bool asNobody_ = false;
  QString error_;
};

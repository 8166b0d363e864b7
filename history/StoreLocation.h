#pragma once
// Where the scan history lives: an SQLite file (the default, under $XDG_DATA_HOME/korvane) or a
// PostgreSQL database named by a URL. Passwords never come from here: the PostgreSQL client
// library finds them in its usual places (PGPASSWORD, ~/.pgpass, PGPASSFILE).

#include <QString>

#include <optional>
#include <vector>
#include <utility>

struct TStoreLocation {
  enum TKind { Sqlite, Postgres };
  TKind Kind = Sqlite;
  QString SqlitePath;
  QString Host;  // a host name, or a folder holding the server's Unix socket; empty: libpq's default
  int Port = -1;
  QString User;
  QString Database;
  // Further connection parameters given in the URL's query (connect_timeout=3, sslmode=...).
  std::vector<std::pair<QString, QString>> Options;

  // For messages: never holds a password.
  QString Display() const;
};

// $XDG_DATA_HOME/korvane/history.sqlite, or ~/.local/share/korvane/history.sqlite.
QString DefaultHistoryPath();

// Reads a store name: "postgresql://[user@][host][:port]/dbname[?key=value&...]" (or "postgres://";
// the host may be a percent-encoded socket folder), "sqlite:PATH" or a plain file path. An empty
// text means KORVANE_HISTORY when it is set, else the default file. Nothing, with *error set, for
// a name that cannot be used (a password in the URL, an unknown scheme, no database name).
std::optional<TStoreLocation> ParseStoreLocation(const QString& text, QString* error);

#include "history/StoreLocation.h"

#include <QDir>
#include <QUrl>
#include <QUrlQuery>

QString TStoreLocation::Display() const {
  if (Kind == Sqlite) return SqlitePath;
  QString text = QStringLiteral("postgresql://");
  if (!User.isEmpty()) text += User + QLatin1Char('@');
  text += Host.startsWith(QLatin1Char('/')) ? QString::fromUtf8(QUrl::toPercentEncoding(Host)) : Host;
  if (Port > 0) text += QLatin1Char(':') + QString::number(Port);
  return text + QLatin1Char('/') + Database;
}

QString DefaultHistoryPath() {
  QString base = qEnvironmentVariable("XDG_DATA_HOME");
  // The XDG rule: a relative value is ignored.
  if (base.isEmpty() || !base.startsWith(QLatin1Char('/'))) base = QDir::homePath() + QStringLiteral("/.local/share");
  return base + QStringLiteral("/korvane/history.sqlite");
}

std::optional<TStoreLocation> ParseStoreLocation(const QString& given, QString* error) {
  QString text = given;
  if (text.isEmpty()) text = qEnvironmentVariable("KORVANE_HISTORY");
  TStoreLocation loc;
  if (text.isEmpty()) {
    loc.SqlitePath = DefaultHistoryPath();
    return loc;
  }
  if (text.startsWith(QStringLiteral("postgresql://")) || text.startsWith(QStringLiteral("postgres://"))) {
    // libpq takes a percent-encoded socket folder as the host, which QUrl refuses as a host name:
    // it is taken from the text, and QUrl reads the rest with a stand-in host.
    const qsizetype hostStart = text.indexOf(QStringLiteral("//")) + 2;
    qsizetype hostEnd = text.indexOf(QLatin1Char('/'), hostStart);
    if (hostEnd < 0) hostEnd = text.size();
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'), hostEnd - 1);
    const qsizetype nameStart = at >= hostStart ? at + 1 : hostStart;
    QString socketFolder;
    QString parsed = text;
    if (text.mid(nameStart, 3).compare(QStringLiteral("%2F"), Qt::CaseInsensitive) == 0) {
      qsizetype nameEnd = text.indexOf(QLatin1Char(':'), nameStart);
      if (nameEnd < 0 || nameEnd > hostEnd) nameEnd = hostEnd;
      socketFolder = QUrl::fromPercentEncoding(text.mid(nameStart, nameEnd - nameStart).toUtf8());
      parsed = text.left(nameStart) + QStringLiteral("socket.invalid") + text.mid(nameEnd);
    }
    const QUrl url(parsed, QUrl::StrictMode);
    if (!url.isValid()) {
      // Not the parser's words: they repeat the URL, which may hold a password.
      *error = QStringLiteral("not a valid PostgreSQL URL (postgresql://user@host[:port]/dbname)");
      return std::nullopt;
    }
    if (!url.password().isEmpty()) {
      *error = QStringLiteral("the store URL holds a password; put it in ~/.pgpass or PGPASSWORD instead, "
                              "where the PostgreSQL client finds it without it being stored");
      return std::nullopt;
    }
    loc.Kind = TStoreLocation::Postgres;
    loc.User = url.userName(QUrl::FullyDecoded);
    loc.Host = socketFolder.isEmpty() ? url.host(QUrl::FullyDecoded) : socketFolder;
    loc.Port = url.port(-1);
    loc.Database = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
      if (key == QStringLiteral("password")) {
        *error = QStringLiteral("the store URL holds a password; put it in ~/.pgpass or PGPASSWORD instead");
        return std::nullopt;
      }
      if (key == QStringLiteral("host")) loc.Host = value;
      else if (key == QStringLiteral("port")) loc.Port = value.toInt();
      else if (key == QStringLiteral("user")) loc.User = value;
      else if (key == QStringLiteral("dbname")) loc.Database = value;
      else loc.Options.emplace_back(key, value);
    }
    if (loc.Database.isEmpty()) {
      *error = QStringLiteral("the store URL names no database (postgresql://user@host/dbname)");
      return std::nullopt;
    }
    return loc;
  }
  if (text.startsWith(QStringLiteral("sqlite://"))) text = text.mid(9);
  else if (text.startsWith(QStringLiteral("sqlite:"))) text = text.mid(7);
  else if (const int colon = static_cast<int>(text.indexOf(QStringLiteral("://"))); colon > 0 && !text.left(colon).contains(QLatin1Char('/'))) {
    *error = QStringLiteral("unknown kind of store %1 (use postgresql://user@host/dbname or a file)").arg(text.left(colon));
    return std::nullopt;
  }
  if (text.isEmpty()) {
    *error = QStringLiteral("no file named for the store");
    return std::nullopt;
  }
  loc.SqlitePath = QDir::cleanPath(QDir::current().absoluteFilePath(text));
  return loc;
}

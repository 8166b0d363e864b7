// Reading store names: SQLite files and PostgreSQL URLs.

#include "history/StoreLocation.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

TEST(StoreLocationTest, ReadsFilesAndUrls) {
  struct TCase {
    const char* Text;
    TStoreLocation::TKind Kind;
    const char* Path;  // SQLite
    const char* Host;
    int Port;
    const char* User;
    const char* Database;
  };
  const TCase cases[] = {
      {"/var/lib/h.sqlite", TStoreLocation::Sqlite, "/var/lib/h.sqlite", "", -1, "", ""},
      {"sqlite:/a/../b/h.db", TStoreLocation::Sqlite, "/b/h.db", "", -1, "", ""},
      {"sqlite:///x/h.db", TStoreLocation::Sqlite, "/x/h.db", "", -1, "", ""},
      {"postgresql://anna@db.example.org/history", TStoreLocation::Postgres, "", "db.example.org", -1, "anna", "history"},
      {"postgres://db:5433/h", TStoreLocation::Postgres, "", "db", 5433, "", "h"},
      {"postgresql://u@%2Ftmp%2FSock%20Dir:5000/h", TStoreLocation::Postgres, "", "/tmp/Sock Dir", 5000, "u", "h"},
      {"postgresql:///h?host=/run/pg&user=bo", TStoreLocation::Postgres, "", "/run/pg", -1, "bo", "h"},
  };
  for (const TCase& c : cases) {
    QString error;
    const std::optional<TStoreLocation> loc = ParseStoreLocation(QString::fromUtf8(c.Text), &error);
    ASSERT_TRUE(loc) << c.Text << ": " << error.toStdString();
    EXPECT_EQ(loc->Kind, c.Kind) << c.Text;
    EXPECT_EQ(loc->SqlitePath, QString::fromUtf8(c.Path)) << c.Text;
    EXPECT_EQ(loc->Host, QString::fromUtf8(c.Host)) << c.Text;
    EXPECT_EQ(loc->Port, c.Port) << c.Text;
    EXPECT_EQ(loc->User, QString::fromUtf8(c.User)) << c.Text;
    EXPECT_EQ(loc->Database, QString::fromUtf8(c.Database)) << c.Text;
    EXPECT_FALSE(loc->Display().contains(QStringLiteral("password")));
  }
  QString error;
  const std::optional<TStoreLocation> relative = ParseStoreLocation(QStringLiteral("h.sqlite"), &error);
  ASSERT_TRUE(relative);
  EXPECT_EQ(relative->SqlitePath, QDir::current().absoluteFilePath(QStringLiteral("h.sqlite")));
}

TEST(StoreLocationTest, RefusesPasswordsAndUnusableNames) {
  const char* bad[] = {"postgresql://anna:secret@db/history", "postgresql://db/history?password=secret",
                       "postgresql://db/", "mysql://db/history", "sqlite:"};
  for (const char* text : bad) {
    QString error;
    EXPECT_FALSE(ParseStoreLocation(QString::fromUtf8(text), &error)) << text;
    EXPECT_FALSE(error.isEmpty()) << text;
    EXPECT_FALSE(error.contains(QStringLiteral("secret"))) << text;
  }
}

TEST(StoreLocationTest, EnvironmentAndDefault) {
  const QByteArray savedStore = qgetenv("KORVANE_HISTORY");
  const QByteArray savedData = qgetenv("XDG_DATA_HOME");
  qputenv("KORVANE_HISTORY", "postgresql://u@h/d");
  QString error;
  std::optional<TStoreLocation> loc = ParseStoreLocation({}, &error);
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->Kind, TStoreLocation::Postgres);
  // The option wins over the environment.
  loc = ParseStoreLocation(QStringLiteral("/tmp/x.sqlite"), &error);
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->Kind, TStoreLocation::Sqlite);
  qunsetenv("KORVANE_HISTORY");
  qputenv("XDG_DATA_HOME", "/data/home");
  loc = ParseStoreLocation({}, &error);
  ASSERT_TRUE(loc);
  EXPECT_EQ(loc->SqlitePath, QStringLiteral("/data/home/korvane/history.sqlite"));
  qputenv("XDG_DATA_HOME", "relative/ignored");
  EXPECT_EQ(ParseStoreLocation({}, &error)->SqlitePath, QDir::homePath() + QStringLiteral("/.local/share/korvane/history.sqlite"));
  if (savedStore.isNull()) qunsetenv("KORVANE_HISTORY");
  else qputenv("KORVANE_HISTORY", savedStore);
  if (savedData.isNull()) qunsetenv("XDG_DATA_HOME");
  else qputenv("XDG_DATA_HOME", savedData);
}

}  // namespace

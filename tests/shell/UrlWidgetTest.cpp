// Addresses opened through the desktop's handler, and programs started with host paths.
#include "shell/Launch.h"
#include "shell/URL.h"

#include "tests/shell/MessageAnswers.h"
#include "tests/support/Fixture.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

struct TOpenerScope {
  QList<QUrl> Opened;
  bool Result = true;
  TOpenerScope() {
    SetUrlOpener([this](const QUrl& url) {
      Opened.append(url);
      return Result;
    });
  }
  ~TOpenerScope() { SetUrlOpener(nullptr); }
};

TEST(Url, SchemesAndOpening) {
  struct TCase {
    TURLType Type;
    const char* Address;
    const char* Expected;
  };
  const TCase cases[] = {
      {utFile, "/usr/share/doc", "file:///usr/share/doc"},
      {utFtp, "ftp.example.org/pub", "ftp://ftp.example.org/pub"},
      {utGopher, "gopher.example.org", "gopher://gopher.example.org"},
      {utHttp, "www.example.org/korvane", "http://www.example.org/korvane"},
      {utHttps, "www.example.org/feedback", "https://www.example.org/feedback"},
      {utMailto, "someone@example.org", "mailto:someone@example.org"},
      {utNews, "comp.os.linux", "news:comp.os.linux"},
      {utTelnet, "host.example.org", "telnet:host.example.org"},
      {utWais, "wais.example.org", "wais:wais.example.org"},
  };
  TOpenerScope opener;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Expected);
    TURL url;
    url.SetURLType(c.Type);
    url.SetURL(QString::fromLatin1(c.Address));
    EXPECT_EQ(url.Address(), QString::fromLatin1(c.Expected));
    EXPECT_TRUE(url.Open());
    ASSERT_FALSE(opener.Opened.isEmpty());
    EXPECT_EQ(opener.Opened.last(), QUrl(QString::fromLatin1(c.Expected)));
  }
  EXPECT_EQ(TURL().URLType(), utHttp);
}

TEST(Url, EmptyAddressOrRefusedAddressIsFalse) {
  TOpenerScope opener;
  TURL url;
  EXPECT_FALSE(url.Open());
  EXPECT_TRUE(opener.Opened.isEmpty());
  opener.Result = false;
  url.SetURL(QStringLiteral("www.example.org"));
  EXPECT_FALSE(url.Open());
  EXPECT_EQ(opener.Opened.size(), 1);
}

QByteArray WaitForFile(const QByteArray& path) {
  QDeadlineTimer deadline(20000);
  while (!deadline.hasExpired()) {
    QFile f(QFile::decodeName(path));
    if (f.open(QIODevice::ReadOnly)) {
      const QByteArray data = f.readAll();
      if (data.endsWith("END\n")) return data;
    }
    QThread::msleep(20);
  }
  return {};
}

TEST(ShellRunProgram, FolderWithBlanksIsOneArgumentAndTheWorkingFolder) {
  TFixtureTree fx;
  fx.Dir("drive/My Documents/two  blanks");
  TDriveScope drives{{{'T', fx.Path("drive")}}};
  const QString folder = HostArgument(QStringLiteral("T:\\My Documents\\two  blanks"));
  EXPECT_EQ(folder, QFile::decodeName(fx.Path("drive/My Documents/two  blanks")));
  EXPECT_EQ(HostArgument(QStringLiteral("not a drive path")), QStringLiteral("not a drive path"));

  // The program writes its argument count, each argument and its working folder.
  const QByteArray out = fx.Path("argv.txt");
  TMessageAnswers messages;
  ASSERT_TRUE(RunProgram(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"),
                          QStringLiteral("{ echo \"$#\"; printf '%s\\n' \"$@\"; pwd; echo END; } > \"$0.tmp\" && mv \"$0.tmp\" \"$0\""),
                          QFile::decodeName(out), folder, QStringLiteral("/E,")},
                         folder));
  const QList<QByteArray> lines = WaitForFile(out).split('\n');
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines[0], "2");
  EXPECT_EQ(lines[1], fx.Path("drive/My Documents/two  blanks"));
  EXPECT_EQ(lines[2], "/E,");
  EXPECT_EQ(lines[3], fx.Path("drive/My Documents/two  blanks"));
  EXPECT_TRUE(messages.Asked.empty());
}

TEST(ShellRunProgram, AProgramThatCannotStartIsReported) {
  TMessageAnswers messages;
  EXPECT_FALSE(RunProgram(QStringLiteral("/nonexistent/korvane-no-such-program"), {}));
  ASSERT_EQ(messages.Errors(), 1);
  EXPECT_TRUE(messages.Asked[0].Text.contains(QStringLiteral("korvane-no-such-program")));
}

}  // namespace

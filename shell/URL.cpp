#include "shell/URL.h"

#include "shell/Launch.h"

#include <QUrl>

QString URLPrefix(TURLType type) {
  switch (type) {
    case utFile: return QStringLiteral("file://");
    case utFtp: return QStringLiteral("ftp://");
    case utGopher: return QStringLiteral("gopher://");
    case utHttp: return QStringLiteral("http://");
    case utHttps: return QStringLiteral("https://");
    case utMailto: return QStringLiteral("mailto:");
    case utNews: return QStringLiteral("news:");
    case utTelnet: return QStringLiteral("telnet:");
    case utWais: return QStringLiteral("wais:");
  }
  return QString();
}

bool TURL::Open() const {
  if (url_.isEmpty()) return false;
  const QUrl url(Address(), QUrl::TolerantMode);
  if (!url.isValid()) return false;
  return OpenUrl(url);
}

#pragma once
// An address opened with the desktop's handler: the address without its scheme, and the scheme.

#include <QObject>
#include <QString>

enum TURLType { utFile, utFtp, utGopher, utHttp, utHttps, utMailto, utNews, utTelnet, utWais };

// The text put in front of an address of that type ("http://", "mailto:").
QString URLPrefix(TURLType type);

class TURL : public QObject {
  Q_OBJECT
public:
  explicit TURL(QObject* parent = nullptr) : QObject(parent) {}

  QString URL() const { return url_; }
  void SetURL(const QString& url) { url_ = url; }
  TURLType URLType() const { return type_; }
  void SetURLType(TURLType type) { type_ = type; }

  // The whole address: the scheme's prefix and URL.
  QString Address() const { return URLPrefix(type_) + url_; }
  // Lets the desktop open the address. False with an empty address, or when no handler took it.
  bool Open() const;

private:
  QString url_;
  TURLType type_ = utHttp;
};

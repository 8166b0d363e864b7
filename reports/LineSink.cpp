#include "reports/LineSink.h"

#include "config/AtomicFile.h"

#include <QFile>

bool TTextBufferSink::WriteLine(const QString& line) {
  data_ += line.toUtf8();
  data_ += "\r\n";
  return true;
}

bool SaveReportFile(const QString& fileName, const QByteArray& data, QString* error) {
  if (fileName.isEmpty()) {
    if (error) *error = QStringLiteral("No file name was given.");
    return false;
  }
  return WriteFileAtomically(QFile::encodeName(fileName), data, 0666, error);
}

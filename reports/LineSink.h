#pragma once
// Where report lines go: a text buffer that becomes a file, or a printer. A writer hands over one
// line at a time, without its line end.

#include <QByteArray>
#include <QString>

class ILineSink {
public:
  virtual ~ILineSink() = default;
  // Writes one line. False when the destination failed; the writer then stops.
  virtual bool WriteLine(const QString& line) = 0;
};

// Collects lines as UTF-8 text, each ending in CR LF, for a file.
class TTextBufferSink : public ILineSink {
public:
  bool WriteLine(const QString& line) override;
  const QByteArray& Data() const { return data_; }

private:
  QByteArray data_;
};

// Replaces (or creates) fileName with data in one step: a temporary file in the same folder,
// flushed and renamed over it, so that a failure leaves an existing file as it was and no
// partial file behind. Only a regular file is replaced: a name that is a folder, a device, a FIFO
// or a link to one is refused, and so is a link to a file in another folder (the replacement is
// made beside the file it replaces, so it would land outside the report's folder) or a link to
// nothing. A link to a file in the same folder replaces that file and stays a link. fileName is
// host path text (HostPathText), so that every byte of the name is kept. On failure returns
// false with the reason in *error.
bool SaveReportFile(const QString& fileName, const QByteArray& data, QString* error = nullptr);

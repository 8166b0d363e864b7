#pragma once
// Report lines on a printer: a 10-point fixed-pitch font, each line at the left margin one line
// below the last, a new page when the next line would not fit. A line wider than the page is cut
// at the page's edge.

#include "reports/LineSink.h"
#include "reports/ReportRows.h"

#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QString>

#include <functional>

class QPrinter;

// The font every report is printed in.
QFont ReportPrinterFont();

class TPrinterLineSink : public ILineSink {
public:
  // Starts a document on printer (already set up) at once.
  explicit TPrinterLineSink(QPrinter& printer);
  ~TPrinterLineSink() override;
  TPrinterLineSink(const TPrinterLineSink&) = delete;
  TPrinterLineSink& operator=(const TPrinterLineSink&) = delete;

  bool WriteLine(const QString& line) override;
  // Continues on a new page laid out in orientation (a second part of the same document, for
  // printers that print to a file).
  bool NewPart(QPageLayout::Orientation orientation);
  // Ends the document; false with the reason when printing failed at any point.
  bool Finish(QString* error);

private:
  void Fail(const QString& reason);
  void SetUp();

  QPrinter& printer_;
  QPainter painter_;
  int y_ = 0;
  int lineHeight_ = 0;
  int ascent_ = 0;
  bool failed_ = false;
  bool finished_ = false;
  QString error_;
};

// The two print jobs. Folder information: the report in portrait, then its subfolder list in
// landscape as a second document (on a printer that writes a file, as the second part of the same
// file). Subfolder list: one document in landscape. False with the reason when printing failed.
bool PrintFolderInformationJob(QPrinter& printer, const TFolderInfoReport& info,
                               const TSubfolderListReport& list, QString* error);
bool PrintSubfolderListJob(QPrinter& printer, const TSubfolderListReport& list, QString* error);

#include "reports/print/PrinterSink.h"

#include "reports/ReportRows.h"
#include "reports/ReportWriters.h"

#include <QFontMetrics>
#include <QPrinter>

QFont ReportPrinterFont() {
  QFont font(QStringLiteral("DejaVu Sans Mono"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(10);
  return font;
}

TPrinterLineSink::TPrinterLineSink(QPrinter& printer) : printer_(printer) {
  if (!painter_.begin(&printer_)) {
    Fail(QStringLiteral("The printer could not start the document."));
    return;
  }
  SetUp();
}

TPrinterLineSink::~TPrinterLineSink() {
  if (painter_.isActive()) painter_.end();
}

void TPrinterLineSink::SetUp() {
  painter_.setFont(ReportPrinterFont());
  const QFontMetrics metrics(painter_.font(), &printer_);
  lineHeight_ = metrics.lineSpacing();
  ascent_ = metrics.ascent();
  y_ = 0;
}

void TPrinterLineSink::Fail(const QString& reason) {
  if (failed_) return;
  failed_ = true;
  error_ = reason;
}

bool TPrinterLineSink::WriteLine(const QString& line) {
  if (failed_ || finished_) return false;
  const int pageHeight = printer_.height();
  if (y_ > 0 && y_ + lineHeight_ > pageHeight) {
    if (!printer_.newPage()) {
      Fail(QStringLiteral("The printer could not begin a new page."));
      return false;
    }
    y_ = 0;
  }
  if (!line.isEmpty()) painter_.drawText(0, y_ + ascent_, line);
  y_ += lineHeight_;
  if (printer_.printerState() == QPrinter::Error || printer_.printerState() == QPrinter::Aborted) {
    Fail(QStringLiteral("The printer reported an error."));
    return false;
  }
  return true;
}

bool TPrinterLineSink::NewPart(QPageLayout::Orientation orientation) {
  if (failed_ || finished_) return false;
  printer_.setPageOrientation(orientation);
  if (!printer_.newPage()) {
    Fail(QStringLiteral("The printer could not begin a new page."));
    return false;
  }
  SetUp();
  return true;
}

bool TPrinterLineSink::Finish(QString* error) {
  if (!finished_) {
    finished_ = true;
    if (painter_.isActive() && !painter_.end()) Fail(QStringLiteral("The printer could not finish the document."));
    if (printer_.printerState() == QPrinter::Error) Fail(QStringLiteral("The printer reported an error."));
  }
  if (failed_ && error) *error = error_;
  return !failed_;
}

namespace {

bool PrintsToFile(const QPrinter& printer) { return !printer.outputFileName().isEmpty(); }

}  // namespace

bool PrintFolderInformationJob(QPrinter& printer, const TFolderInfoReport& info, const TSubfolderListReport& list,
                               QString* error) {
  printer.setPageOrientation(QPageLayout::Portrait);
  if (PrintsToFile(printer)) {
    // One file holds both documents: the list begins on a landscape page of its own.
    TPrinterLineSink sink(printer);
    bool ok = WriteFolderInformation(sink, info, true);
    ok = ok && sink.NewPart(QPageLayout::Landscape);
    ok = ok && WriteSubfolderAligned(sink, list, true);
    return sink.Finish(error) && ok;
  }
  {
    TPrinterLineSink sink(printer);
    const bool ok = WriteFolderInformation(sink, info, true);
    if (!sink.Finish(error) || !ok) return false;
  }
  return PrintSubfolderListJob(printer, list, error);
}

bool PrintSubfolderListJob(QPrinter& printer, const TSubfolderListReport& list, QString* error) {
  printer.setPageOrientation(QPageLayout::Landscape);
  TPrinterLineSink sink(printer);
  const bool ok = WriteSubfolderAligned(sink, list, true);
  return sink.Finish(error) && ok;
}

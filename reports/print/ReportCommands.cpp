#include "reports/print/ReportCommands.h"

#include "charts/PieExport.h"
#include "reports/ReportWriters.h"
#include "reports/print/PrinterSink.h"
#include "scan/Format.h"
#include "shell/MessageBoxes.h"
#include "shell/ModalDialogs.h"
#include "platform/DriveTable.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

namespace {

void ShowFailure(QWidget* parent, const QString& text) {
  TMessageRequest request;
  request.Parent = parent;
  request.Text = text;
  request.Caption = ProgramName;
  request.Icon = TMessageIcon::Error;
  ShowMessage(request);
}

QString ReportFileName(const QString& chosen, int filterIndex) {
  return WithDefaultExtension(chosen, ReportExtension(SubfolderListFilterKind(filterIndex)));
}

bool AskPrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return RunModalDialog(dialog) == QDialog::Accepted;
}

QString& LastSaveFolder() {
  static QString folder;
  return folder;
}

}  // namespace

QString SaveDialogStartFolder(const QString& startDrivePath) {
  if (!LastSaveFolder().isEmpty() && QFileInfo(LastSaveFolder()).isDir()) return LastSaveFolder();
  if (!startDrivePath.isEmpty())
    if (const std::optional<QByteArray> host = DriveToHost(startDrivePath)) {
      const QString folder = QFile::decodeName(*host);
      if (QFileInfo(folder).isDir()) return folder;
    }
  return QDir::homePath();
}

QString AskSaveFileName(QWidget* parent, const QString& title, const QStringList& filters,
                        QString (*finalName)(const QString& chosen, int filterIndex), int* filterIndex,
                        const QString& startDrivePath) {
  QFileDialog dialog(parent, title, SaveDialogStartFolder(startDrivePath));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  // The question below is about the file really written, which may differ from the one chosen.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (RunModalDialog(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  const QString chosen = dialog.selectedFiles().constFirst();
  if (chosen.isEmpty()) return {};
  const int index = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (filterIndex) *filterIndex = index < 1 ? 1 : index;
  const QString file = finalName(chosen, index < 1 ? 1 : index);
  LastSaveFolder() = QFileInfo(file).absolutePath();
  if (QFileInfo::exists(file)) {
    TMessageRequest question;
    question.Parent = parent;
    question.Caption = title;
    question.Text = QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(file).fileName());
    question.Icon = TMessageIcon::Warning;
    question.Buttons = mbYes | mbNo;
    question.DefaultButton = mbNo;
    if (ShowMessage(question) != mbYes) return {};
  }
  return file;
}

bool cmdFileReportFolderInformation(QWidget* parent, const TFolderInfoReport& info, const TSubfolderListReport& list) {
  const QString file = AskSaveFileName(parent, QStringLiteral("Save Report As"), {FolderInformationFilter},
                                       [](const QString& chosen, int) { return WithDefaultExtension(chosen, QStringLiteral(".txt")); },
                                       nullptr, info.Path);
  if (file.isEmpty()) return false;
  QString error;
  if (WriteReportFile(file, TReportKind::FolderInformation, info, list, &error)) return true;
  ShowFailure(parent, ReportFailedText + QStringLiteral("\n\n") + error);
  return false;
}

bool cmdFileReportFolderContents(QWidget* parent, const TSubfolderListReport& list) {
  int filter = 1;
  const QString file = AskSaveFileName(parent, QStringLiteral("Save Subfolder List As"),
                                       SubfolderListFilter.split(QStringLiteral(";;")), ReportFileName, &filter, list.Path);
  if (file.isEmpty()) return false;
  QString error;
  if (WriteReportFile(file, SubfolderListFilterKind(filter), {}, list, &error)) return true;
  ShowFailure(parent, ReportFailedText + QStringLiteral("\n\n") + error);
  return false;
}

bool cmdFilePrintFolderInformation(QWidget* parent, const TFolderInfoReport& info, const TSubfolderListReport& list) {
  QPrinter printer(QPrinter::HighResolution);
  if (!AskPrinter(parent, printer)) return false;
  QString error;
  if (PrintFolderInformationJob(printer, info, list, &error)) return true;
  ShowFailure(parent, ReportFailedText + QStringLiteral("\n\n") + error);
  return false;
}

bool cmdFilePrintSubfolderlist(QWidget* parent, const TSubfolderListReport& list) {
  QPrinter printer(QPrinter::HighResolution);
  if (!AskPrinter(parent, printer)) return false;
  QString error;
  if (PrintSubfolderListJob(printer, list, &error)) return true;
  ShowFailure(parent, ReportFailedText + QStringLiteral("\n\n") + error);
  return false;
}

bool cmdFilePieToFile(QWidget* parent, THPieChart& chart, const QString& startDrivePath) {
  const QString file =
      AskSaveFileName(parent, QStringLiteral("Export Pie"), PieExportFilters, PieExportFileName, nullptr, startDrivePath);
  if (file.isEmpty()) return false;
  QString error;
  if (ExportPieToFile(chart, file, &error)) return true;
  ShowFailure(parent, error);
  return false;
}

bool cmdFilePieToClipboard(QWidget* parent, THPieChart& chart, bool asMetafile) {
  QString error;
  if (CopyPieToClipboard(chart, asMetafile, &error)) return true;
  ShowFailure(parent, error);
  return false;
}

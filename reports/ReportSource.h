#pragma once
// The report rows of a scanned folder, made without any window: the texts the folder-information,
// wasted-space and subfolders pages show for that folder, whole and unshortened.

#include "reports/ReportRows.h"
#include "reports/ReportView.h"
#include "reports/SubfolderRows.h"

#include <QDateTime>
#include <QString>

#include <cstdint>

class TTreeNode;

// The report date: the locale's short date and long time (without a zone name).
QString ReportDateText(const QDateTime& when);

// node must have its record. path is its drive path; driveClusterSize marks the actual cluster
// size among the seven standard ones.
TFolderInfoReport BuildFolderInfoReport(const TTreeNode& node, const QString& path, int32_t driveClusterSize,
                                        const QDateTime& now);
// The direct subfolders with a record, filtered, sorted and cut to N as the view says. In the
// "top" and "larger than" modes the list is sorted by size (allocated size when wasted space is
// included), largest first, whatever view.Sort says; *effectiveSort (when given) receives the
// sort code used.
TSubfolderListReport BuildSubfolderListReport(const TTreeNode& node, const QString& path, const TSubfolderView& view,
                                              int32_t* effectiveSort = nullptr);
// The same for the list's settings as the Subfolders page has them.
TSubfolderListReport BuildSubfolderListReport(const TTreeNode& node, const QString& path,
                                              const TSubfolderSettings& settings, int32_t* effectiveSort = nullptr);

#pragma once
// The "Wasted Space" page: how much the current folder's tree would lose to cluster slack at each
// of the seven standard cluster sizes, one small pie gauge and one size per cluster size, with
// the drive's own cluster size highlighted. The cluster-size selector does not change this page:
// it always shows all seven sizes.

#include "scan/FolderSize.h"
#include "ui/main/PageHost.h"

#include <QScrollArea>
#include <QString>

#include <cstdint>

class QFrame;
class QLabel;
class TSimplePieGauge;
class TTreeNode;

// The status bar's cluster text: "512 bytes Cluster (ext4)" below 1 KB, "4K Cluster (ext4)" from
// there on; empty for a cluster size that is not known.
QString ClusterStatusText(int32_t clusterSize, const QString& fileSystemName);

class TWastedPage : public QScrollArea, public IFolderPage {
  Q_OBJECT

public:
  // host: the window whose current folder FillFor shows (none for a page used on its own).
  explicit TWastedPage(QWidget* parent = nullptr, IPageHost* host = nullptr);

  // Rebuilt on every call: the page is cheap and always shows all seven sizes.
  void FillFor(TTreeNode* node) override;
  void Forget() override {}
  void LayOut() override { Layout(); }

  // Rebuilds the page for a node with its record. path is the folder's path (shown, shortened,
  // for a folder); a drive root shows its node text instead. driveClusterSize picks the panel to
  // highlight (none when it is not a standard size).
  void Fill(const TTreeNode& node, const QString& path, int32_t driveClusterSize);
  // Centres the two rows below the header and shortens the folder path to the header's width.
  void Layout();

  // Help context of the link: the folder or the drive topic on reducing waste.
  int LinkHelpContext() const { return linkTag_; }
  // Opens the help topic of the link (a click on it does this).
  void txtWebReduceWasteClick();

  // The wasted share of used plus wasted space, in whole percent; 0 when both are 0.
  static int WastedPercent(int64_t wasted, int64_t size);
  // path shortened to fit width pixels in font metrics fm: the drive and the first folder are
  // kept and the middle becomes "...".
  static QString ShortenPath(const QString& path, const QFontMetrics& fm, int width);

  QWidget* panWastedSupport = nullptr;
  QWidget* panWebWastedPath = nullptr;
  QLabel* txtWebWastedAmount = nullptr;
  QLabel* txtWebWastedPath = nullptr;
  QLabel* txtWebWastedAtDiff = nullptr;
  QFrame* panWastedSupport1 = nullptr;
  QFrame* panWastedSupport2 = nullptr;
  QLabel* txtWebReduceWaste = nullptr;
  // Index 1..7 like the standard cluster sizes; index 0 is unused.
  QFrame* panWasted[StandardClusterCount + 1] = {};
  QLabel* capWasted[StandardClusterCount + 1] = {};
  TSimplePieGauge* WastedInd[StandardClusterCount + 1] = {};
  QLabel* txtWasted[StandardClusterCount + 1] = {};

protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  IPageHost* host_ = nullptr;
  QString path_;
  bool folder_ = false;
  int linkTag_ = 0;
};

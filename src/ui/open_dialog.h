// The program's open dialog: Qt's own (non-native) file dialog, the same on
// every desktop, with the theme preview pane on its right. Selecting a theme
// runs the core's theme analysis and decodes its pictures on a pool thread;
// the pane is filled when the result comes back, and a result that a newer
// selection has overtaken is dropped.
#pragma once

#include <QFileDialog>
#include <QFrame>
#include <QImage>
#include <QPixmap>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "theme/theme.h"
#include "ui/theme_preview.h"

class QLabel;
class QToolButton;
class QTemporaryDir;

namespace vornix {

enum TViewStyleGDI { vsIconGDI, vsSmallIconGDI, vsListGDI, vsReportGDI, vsThumbGDI, vsMosaicGDI };

/// A picture box in a bevelled panel. The panel's caption shows through when
/// there is no picture; a failure while painting shows "Image non valide"
/// instead of ending anything.
class TSilentPaintPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TSilentPaintPanel(QWidget* parent);
  void setCaption(const QString& caption);
  const QString& caption() const { return m_caption; }
  /// `image` at `offset` within the picture box (the panel's inside).
  void setPicture(const QImage& image, QPoint offset);
  void clearPicture();
  const QImage& picture() const { return m_picture; }
  QSize boxSize() const { return contentsRect().size(); }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString m_caption;
  QImage m_picture;
  QPoint m_offset;
};

class TOpenPictureDialogGDITSK : public QFileDialog {
  Q_OBJECT
 public:
  explicit TOpenPictureDialogGDITSK(QWidget* parent = nullptr);
  ~TOpenPictureDialogGDITSK() override;

  /// Shows the dialog modally; true when the user confirmed a file.
  bool Execute();
  /// The chosen (or preset) file.
  QString FileName() const;
  void setFileName(const QString& file);
  void setInitialDir(const QString& folder);

  // --- published properties ---------------------------------------------
  /// The filter in "text|patterns|text|patterns" form.
  const QString& Filter() const { return m_filter; }
  void setFilter(const QString& filter);
  bool BkgImage() const { return m_bkgImage; }
  void setBkgImage(bool on);
  const QPixmap& BmpBkg() const { return m_bmpBkg; }
  void setBmpBkg(const QPixmap& picture);
  /// Extraction folder for the analysis, ending with a separator; an empty
  /// value is ignored.
  const QString& DirExtract() const { return m_dirExtract; }
  void setDirExtract(const QString& folder);
  TViewStyleGDI View() const { return m_view; }
  void setView(TViewStyleGDI view);

  int TSKIdx = 10;
  int TDLH = 0, TDLW = 0, STLH = 0, STLW = 0, TDPH = 0, TDPW = 0, STPH = 0, STPW = 0;
  std::string TodayImgP, StartImgP, TodayImgL, StartImgL;  // names in the cabinet
  std::string TDP, STP, TDL, STL;                          // picture format names
  std::string AppName;
  TTSKRec TSKRecOD;
  std::vector<std::string> SortieInfOD;  // the generated INF text
  std::vector<std::string> SortieXMLOD;  // the generated _setup.xml text

  // --- the pane ------------------------------------------------------------
  QFrame* PicturePanel = nullptr;
  QLabel* AppNameLabel = nullptr;
  QLabel* PortraitLabel = nullptr;
  QLabel* LandscapeLabel = nullptr;
  TSilentPaintPanel* PaintPanel = nullptr;     // today, portrait
  TSilentPaintPanel* PaintPanelL = nullptr;    // today, landscape
  TSilentPaintPanel* PaintPanelST = nullptr;   // start, portrait
  TSilentPaintPanel* PaintPanelSTL = nullptr;  // start, landscape
  QLabel* PictureLabel = nullptr;
  QLabel* PictureLabelL = nullptr;
  QLabel* TypeImgLabel = nullptr;
  QLabel* TypeImgLandLabel = nullptr;
  QLabel* NbImgLabel = nullptr;
  QToolButton* PreviewButton = nullptr;

  /// The selection change: called for every file the list or the file-name
  /// field points at. Does nothing for the file last processed.
  void SelectionChange(const QString& fileName);
  /// The preview command for a picture slot; -1 is the preview button.
  void Preview(int slot = -1);

  /// How many theme analyses were started (each new theme selected).
  int analysisCount() const { return m_analyses; }
  /// True while a selected theme's analysis has not come back.
  bool previewPending() const { return m_pending; }
  /// Replaces the message box ("Erreur chargement"); for tests.
  std::function<void(const QString& text)> messageHook;
  /// Receives the preview window instead of its modal run; for tests.
  std::function<void(QDialog* window)> previewHook;

 signals:
  /// The pane shows the selection (after the analysis, for a theme).
  void paneUpdated();

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void buildPane();
  void clearPane(const QString& caption);
  void applyViewStyle();
  void applyBackground();
  void fileNameTyped(const QString& text);
  void startAnalysis(const QString& fileName);
  /// Fills the pane for a valid file: `preview` is null for a file that is no theme.
  void showResult(const QString& fileName, const ThemePreview* preview);
  void showNothing(const QString& caption);
  void resetProperties();
  void showMessage(const QString& text);
  std::filesystem::path workRoot();

  QString m_filter;
  bool m_bkgImage = true;
  QPixmap m_bmpBkg;
  QString m_dirExtract;
  TViewStyleGDI m_view = vsIconGDI;

  QString m_lastName;      // the file last processed
  QString m_shownPackage;  // the theme whose pictures the pane shows
  bool m_pending = false;
  int m_analyses = 0;
  std::shared_ptr<std::atomic<int>> m_generation;
  QTimer m_busyTimer;
  QThreadPool m_pool;
  std::unique_ptr<QTemporaryDir> m_ownWork;  // used while no DirExtract was given
};

}  // namespace vornix

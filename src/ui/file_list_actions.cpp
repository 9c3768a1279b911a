#include "ui/file_list_actions.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDrag>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QTableView>
#include <QUrl>
#include <algorithm>

#include "common/mapped_file.h"
#include "common/text.h"
#include "pe/pe_reader.h"
#include "presentation/catalogue.h"
#include "presentation/catalogue_xml.h"
#include "ui/action_texts.h"
#include "ui/colours.h"
#include "ui/desktop_apps.h"
#include "ui/list_model.h"
#include "ui/menu_metrics.h"
#include "ui/pictures.h"
#include "ui/properties_dialog.h"
#include "ui/qt_text.h"

namespace vornix {
namespace {

QString PathText(const std::filesystem::path& path) { return PathToQt(path.string()); }

QPixmap MenuPicture(Picture picture, int size) {
  // Drawn at the design's 32 pixels and scaled, as the menu's pictures always were.
  return DrawPicture(picture, 32).scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QMimeType TypeOfExtension(const QString& extension) {
  static const QMimeDatabase db;
  return db.mimeTypeForFile(QStringLiteral("x") + extension, QMimeDatabase::MatchExtension);
}

QIcon TypeIcon(const QMimeType& type) {
  QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
  if (icon.isNull()) icon = QIcon(DrawPicture(Picture::FileGeneric, 32));
  return icon;
}

// The popup's rows as the design draws them: a picture at the left, the
// caption after it, the open item bold (on silver with a "forbidden" sign
// while it is off), "Open with..." in maroon, bold, italic and underlined.
// Row height and picture size follow the menu metrics that F11 switches.
class FilePopupStyle : public QProxyStyle {
 public:
  FilePopupStyle(const FileListActions& actions, const MenuMetrics& metrics) : m_actions(actions), m_metrics(metrics) {}

  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    if (metric == PM_SmallIconSize) return m_metrics.MenuIconSize;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || !item || item->menuItemType == QStyleOptionMenuItem::Separator)
      return QProxyStyle::sizeFromContents(type, option, size, widget);
    const QAction* action = actionOf(item, widget);
    QFont font = item->font;
    if (action == m_actions.Ouvrir1 || action == m_actions.OpenWith) font.setBold(true);
    int width = m_metrics.MenuItemHeight + QFontMetrics(font).horizontalAdvance(caption(item)) + 32;
    if (action == m_actions.Ouvrir1 && !m_actions.PreparedFile.isEmpty()) width += 50;
    if (action == m_actions.Ouvrir1 && !action->isEnabled()) width += 17;
    return QSize(width, m_metrics.MenuItemHeight);
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || !item || item->menuItemType == QStyleOptionMenuItem::Separator) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    const QAction* action = actionOf(item, widget);
    const QRect r = item->rect;
    const bool highlighted = item->state & State_Selected;
    const bool enabled = item->state & State_Enabled;
    const QPalette& pal = item->palette;
    painter->save();
    QColor background = pal.color(QPalette::Window);
    if (highlighted) {
      background = pal.color(QPalette::Highlight);
      painter->fillRect(r, background);
    }
    QFont font = item->font;
    QColor text = highlighted ? pal.color(QPalette::HighlightedText)
                              : pal.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);
    const int size = m_metrics.MenuIconSize;
    const QRect pictureRect(r.left() + 1, r.top() + 2, size, size);
    int textLeft = r.left() + m_metrics.MenuItemHeight;

    if (action == m_actions.Ouvrir1) {
      font.setBold(true);
      if (!enabled) {
        background = highlighted ? QColor(160, 160, 164) : QColor(192, 192, 192);
        painter->fillRect(r, background);
        text = QColor(64, 64, 64);
      }
      painter->drawPixmap(pictureRect, action->icon().pixmap(size, size));
      if (!enabled) {
        painter->drawPixmap(QRect(textLeft, r.top() + (r.height() - 16) / 2, 16, 16),
                            MenuPicture(Picture::Forbidden, 16));
        textLeft += 17;
      }
    } else {
      Picture picture = Picture::Cancel;
      if (action == m_actions.OpenWith) {
        picture = Picture::Explore;
        font.setBold(true);
        font.setItalic(true);
        font.setUnderline(true);
        if (!highlighted) text = Readable(QColor(128, 0, 0), background);
      } else if (action == m_actions.Ouvrir2) {
        picture = Picture::Notepad;
      } else if (action == m_actions.Prop1) {
        picture = enabled ? Picture::Infos : Picture::InfosGrey;
      }
      painter->drawPixmap(pictureRect, MenuPicture(picture, size));
    }
    painter->setFont(font);
    painter->setPen(text);
    painter->drawText(QRect(textLeft, r.top(), r.right() - textLeft, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      caption(item));
    painter->restore();
  }

 private:
  static QString caption(const QStyleOptionMenuItem* item) { return QString(item->text).remove('&'); }

  // The item being measured or drawn, found by its caption: the menu's
  // geometry is not laid out yet while it measures.
  static const QAction* actionOf(const QStyleOptionMenuItem* item, const QWidget* widget) {
    const auto* menu = qobject_cast<const QMenu*>(widget);
    if (!menu) return nullptr;
    for (const QAction* a : menu->actions())
      if (a->text() == item->text) return a;
    return nullptr;
  }

  const FileListActions& m_actions;
  const MenuMetrics& m_metrics;
};

}  // namespace

FileListActions::Texts FileListActions::MainWindowTexts() {
  return {ToQt(Str(MainStr::PopupOpen)),     ToQt(Str(MainStr::PopupOpenWithNotepad)),
          ToQt(Str(MainStr::PopupOpenWith)), ToQt(Str(MainStr::PopupProperties)),
          ToQt(Str(MainStr::MenuCancel)),    ToQt(Str(MainStr::MsgError))};
}

FileListActions::Texts FileListActions::XmlViewerTexts() {
  return {ToQt(Str(XmlStr::PopupOpen)),       ToQt(Str(XmlStr::PopupOpenWithNotepad)), ToQt(Str(XmlStr::PopupOpenWith)),
          ToQt(Str(XmlStr::PopupProperties)), ToQt(Str(XmlStr::PopupCancel)),          ToQt(Str(XmlStr::MsgError))};
}

FileListActions* FileListActions::Attach(QTableView* view, FileListSource& source, const MenuMetrics& metrics,
                                         Texts texts) {
  return new FileListActions(view, source, metrics, std::move(texts));
}

FileListActions::FileListActions(QTableView* view, FileListSource& source, const MenuMetrics& metrics, Texts texts)
    : QObject(view), m_view(view), m_source(source), m_metrics(metrics), m_texts(std::move(texts)) {
  setObjectName(QStringLiteral("FileListActions"));
  buildMenu();
  // Pressing a row that is already selected keeps the selection until the
  // release, so several selected rows can be dragged; the drag itself is ours.
  view->setDragEnabled(true);
  view->setDragDropMode(QAbstractItemView::DragOnly);
  view->setDefaultDropAction(Qt::CopyAction);
  m_viewport = view->viewport();
  m_viewport->installEventFilter(this);
  view->installEventFilter(this);
}

void FileListActions::buildMenu() {
  PopupMenu1 = new QMenu(m_view);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  auto* style = new FilePopupStyle(*this, m_metrics);
  style->setParent(PopupMenu1);
  PopupMenu1->setStyle(style);
  auto add = [&](const char* name, const QString& text) {
    QAction* a = PopupMenu1->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    return a;
  };
  Ouvrir1 = add("Ouvrir1", m_texts.Open);
  OpenWith = add("OpenWith", m_texts.OpenWith);
  Ouvrir2 = add("Ouvrir2", m_texts.OpenWithNotepad);
  Prop1 = add("Prop1", m_texts.Properties);
  PopupMenu1->addSeparator();
  Annuler1 = add("Annuler1", m_texts.Cancel);
  PopupMenu1->setDefaultAction(Ouvrir1);
  OpenWith->setIcon(QIcon(DrawPicture(Picture::Explore, 32)));
  Ouvrir2->setIcon(QIcon(DrawPicture(Picture::Notepad, 32)));
  Annuler1->setIcon(QIcon(DrawPicture(Picture::Cancel, 32)));
  connect(Ouvrir1, &QAction::triggered, this, [this] { OpenRow(1, m_popupRow, true); });
  connect(Ouvrir2, &QAction::triggered, this, [this] { OpenRow(2, m_popupRow, true); });
  connect(OpenWith, &QAction::triggered, this, [this] { OpenRow(3, m_popupRow, true); });
  connect(Prop1, &QAction::triggered, this, [this] { Prop1Click(); });
}

QString FileListActions::typeOf(const FileRow& row) const {
  if (!row.Type.empty()) return ToQt(LowerCp1252(row.Type));
  std::string ext(ExtensionOf(ReplaceAll(row.OriginalName, "\"", "")));
  if (!ext.empty()) ext.erase(0, 1);
  return ToQt(LowerCp1252(ext));
}

OpenFilesResult FileListActions::extract(const QList<int>& rows, bool bitmapRule) {
  std::vector<OpenFileRow> wanted;
  for (int row : rows) {
    const FileRow r = m_source.row(row);
    wanted.push_back({r.StoredName, r.OriginalName});
  }
  const std::filesystem::path folder = m_source.openFolder();
  if (folder.empty()) {
    OpenFilesResult none;
    none.Files.resize(wanted.size());
    return none;
  }
  return ExtractForOpening(CABFile1, m_source.package(), folder, wanted, bitmapRule);
}

bool FileListActions::preparePopup(int row) {
  if (row < 0 || row >= m_source.rowCount()) return false;
  const FileRow r = m_source.row(row);
  const QString type = typeOf(r);
  PopupExt = QStringLiteral(".") + type;
  PreparedFile.clear();
  const QMimeType mime = TypeOfExtension(PopupExt);
  // The desktop's name of the type; a type it does not know is named as
  // Windows names one: the extension in capitals and "File".
  QString typeName = mime.isDefault() || mime.comment().isEmpty() ? QString() : mime.comment();
  if (typeName.isEmpty()) typeName = type.isEmpty() ? QStringLiteral("File") : type.toUpper() + QStringLiteral(" File");
  QString caption = m_texts.Open + QStringLiteral(" \"") + typeName + '"';

  const bool program = IsProgramFileExtension(FromQt(PopupExt));
  Prop1->setEnabled(program);
  Prop1->setIcon(QIcon(DrawPicture(program ? Picture::Infos : Picture::InfosGrey, 32)));
  if (program) {
    const OpenFilesResult files = extract({row}, false);
    const OpenFile& file = files.Files.front();
    PreparedFile = PathText(file.Path);
    ProgramFileInfo info;
    if (file.Present) {
      const MappedFile bytes(file.Path);
      const ProgramFileReadResult read = ReadProgramFile(bytes.bytes());
      if (read.ok() && read.Info.Version == VersionResourceState::Unreadable) {
        message(QString::fromLatin1(kVersionInfoError));
        return false;
      }
      if (read.ok()) info = read.Info;
    }
    caption += ToQt(VersionSuffix(info));
    PropertiesFile = PreparedFile;
  }
  Ouvrir1->setText(caption);
  Ouvrir1->setIcon(TypeIcon(mime));
  // The rows are measured again: F11 may have switched their size since.
  QEvent restyled(QEvent::StyleChange);
  QApplication::sendEvent(PopupMenu1, &restyled);
  Ouvrir1->setEnabled(PopupExt.toLower() != QLatin1String(".exe"));
  m_popupRow = row;
  return true;
}

void FileListActions::showPopup(const QPoint& pos, const QPoint& globalPos) {
  const int row = m_view->rowAt(pos.y());
  if (row < 0) return;
  ClickRow = QPoint(10, pos.y());
  if (!preparePopup(row)) return;
  const QPoint at = globalPos + QPoint(-16, 10);
  if (popupHook) {
    popupHook(PopupMenu1, at);
    return;
  }
  PopupMenu1->exec(at);
}

void FileListActions::OpenRow(int number, int row, bool fromPopup) {
  if (row < 0 || row >= m_source.rowCount()) return;
  QString file = fromPopup ? PreparedFile : QString();
  if (file.isEmpty()) file = PathText(extract({row}, true).Files.front().Path);
  const bool present = QFileInfo(file).isFile();
  switch (number) {
    case 1:
      if (QFileInfo(file).suffix().toLower() == QLatin1String("exe")) {
        if (beepHook)
          beepHook();
        else
          QApplication::beep();
        return;
      }
      openFile(file);
      return;
    case 2: {
      const auto copy = present ? TextCopy(std::filesystem::path(QFile::encodeName(file).toStdString())) : std::nullopt;
      if (!copy) {
        message(m_texts.Error);
        return;
      }
      openFile(PathText(*copy));
      return;
    }
    case 3:
      if (!present) {
        message(m_texts.Error);
        return;
      }
      chooseProgram(file);
      return;
    default: return;
  }
}

void FileListActions::openFile(const QString& file) {
  if (!QFileInfo(file).isFile()) {
    message(m_texts.Error);
    return;
  }
  const bool started = openHook ? openHook(file) : QDesktopServices::openUrl(QUrl::fromLocalFile(file));
  // No opener on this desktop: the user picks the program instead.
  if (!started) chooseProgram(file);
}

void FileListActions::chooseProgram(const QString& file) {
  if (chooserHook) {
    chooserHook(file);
    return;
  }
  if (OpenWithPortal(file, m_view)) return;
  const DesktopApps apps = DesktopApps::Load();
  AppChooser chooser(file, apps, QString(m_texts.OpenWith).remove('&'), m_view->window());
  if (chooser.offered().isEmpty()) {
    message(m_texts.Error);
    return;
  }
  if (chooser.exec() != QDialog::Accepted || !chooser.chosen()) return;
  if (!LaunchApp(*chooser.chosen(), file)) message(Text(ActStr::ChooserCannotStart).arg(chooser.chosen()->Name));
}

PropertiesDialog* FileListActions::Prop1Click() {
  if (PropertiesFile.isEmpty() || !QFileInfo(PropertiesFile).isFile()) {
    message(m_texts.Error);
    return nullptr;
  }
  auto* dialog = new PropertiesDialog(PropertiesFile, m_view->window());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  return dialog;
}

QMimeData* FileListActions::dragData(const QList<int>& rows) {
  QList<int> ordered = rows;
  std::sort(ordered.begin(), ordered.end());
  const OpenFilesResult files = extract(ordered, false);
  QList<QUrl> urls;
  for (const OpenFile& file : files.Files)
    if (file.Present) urls << QUrl::fromLocalFile(PathText(file.Path));
  if (urls.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  data->setUrls(urls);
  return data;
}

void FileListActions::startDrag() {
  QList<int> rows;
  if (QItemSelectionModel* selection = m_view->selectionModel()) {
    for (const QModelIndex& index : selection->selectedRows()) rows << index.row();
  }
  RightButtonDown = LeftButtonDown = false;  // the drag loop takes the release
  if (rows.isEmpty()) return;
  QMimeData* data = dragData(rows);
  if (!data) return;
  if (dragHook) {
    dragHook(data, Qt::CopyAction);
    delete data;
    return;
  }
  auto* drag = new QDrag(m_view);
  drag->setMimeData(data);
  const QString first = data->urls().first().toLocalFile();
  drag->setPixmap(TypeIcon(TypeOfExtension(QStringLiteral(".") + QFileInfo(first).suffix())).pixmap(32, 32));
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void FileListActions::message(const QString& text) {
  const QString caption = QString::fromUtf8(kCaption);
  if (messageHook) {
    messageHook(caption, text);
    return;
  }
  QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, m_view->window()).exec();
}

bool FileListActions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ContextMenu) {
    auto* menu = static_cast<QContextMenuEvent*>(event);
    if (menu->reason() == QContextMenuEvent::Mouse && watched == m_viewport) {
      showPopup(menu->pos(), menu->globalPos());
    } else if (menu->reason() != QContextMenuEvent::Mouse && m_view->currentIndex().isValid()) {
      // The menu key: the popup of the current row, below its start.
      const QRect cell = m_view->visualRect(m_view->currentIndex());
      showPopup(cell.center(), m_view->viewport()->mapToGlobal(cell.bottomLeft()));
    }
    return true;
  }
  // Compared, never asked: events still come while the view is being destroyed.
  if (watched != m_viewport) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto* press = static_cast<QMouseEvent*>(event);
      ClickRow = QPoint(10, press->position().toPoint().y());
      RightButtonDown = press->button() == Qt::RightButton;
      LeftButtonDown = press->button() == Qt::LeftButton;
      m_pressPos = press->position().toPoint();
      return false;
    }
    case QEvent::MouseButtonRelease: RightButtonDown = LeftButtonDown = false; return false;
    case QEvent::MouseButtonDblClick: {
      const auto* click = static_cast<QMouseEvent*>(event);
      RightButtonDown = LeftButtonDown = false;
      if (click->button() == Qt::LeftButton) {
        ClickRow = QPoint(10, click->position().toPoint().y());
        const int row = m_view->rowAt(ClickRow.y());
        if (row >= 0) OpenRow(1, row);
      }
      return false;
    }
    case QEvent::MouseMove: {
      const auto* move = static_cast<QMouseEvent*>(event);
      if (!RightButtonDown && !LeftButtonDown) {
        if (move->buttons() == Qt::NoButton && !m_view->hasFocus()) m_view->setFocus();
        return false;
      }
      ClickRow = QPoint(10, move->position().toPoint().y());
      if (!(move->buttons() & (Qt::LeftButton | Qt::RightButton))) return false;
      // A move with a button held is the drag's: no drag-selecting under it.
      if (RightButtonDown || m_view->rowAt(ClickRow.y()) < 0) return true;
      if ((move->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance()) return true;
      startDrag();
      return true;
    }
    default: return false;
  }
}

}  // namespace vornix

#include "ui/selection_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "common/text.h"
#include "presentation/catalogue_selection.h"
#include "ui/pictures.h"
#include "ui/qt_text.h"

namespace vornix {
namespace {

constexpr int kNumberRole = Qt::UserRole;
constexpr int kStoredRole = Qt::UserRole + 1;
constexpr int kOriginalRole = Qt::UserRole + 2;
const char* const kDragFormat = "application/x-vornix-choice";

QString Say(SelStr id) { return ToQt(Str(id)); }

// The check list's rows as the design draws them: the header item in
// yellow on blue with the two column captions; a chosen row on silver, the
// selected row otherwise on yellow in red, the others on white; then the
// row number, the stored name in bold (maroon when chosen, navy when not)
// and the original name in blue. The colours stay on their own light
// backgrounds, so they read on any desktop palette.
class CheckListDelegate : public QStyledItemDelegate {
 public:
  CheckListDelegate(const TChoixFicExtract& dialog, QObject* parent) : QStyledItemDelegate(parent), m_dialog(dialog) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QFontMetrics metrics(option.font);
    const int height = metrics.height() + 2;
    // As wide as the original name reaches, so the list scrolls only when it must.
    const QString original = index.row() == 0 ? Say(SelStr::ColFileName) : index.data(kOriginalRole).toString();
    return QSize(m_dialog.checkCellWidth() + 160 + metrics.horizontalAdvance(original) + 8,
                 index.row() == 0 ? height + 4 : height);
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QRect r = option.rect;
    const int cell = m_dialog.checkCellWidth();
    painter->save();
    painter->setClipRect(r);
    if (index.row() == 0) {
      painter->fillRect(r, QColor(0, 0, 255));
      painter->setPen(QColor(255, 255, 0));
      painter->setFont(option.font);
      painter->drawText(QRect(r.left() + cell + 35, r.top(), 125, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                        Say(SelStr::ColFileNameInCab));
      painter->drawText(QRect(r.left() + cell + 160, r.top(), r.width(), r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                        Say(SelStr::ColFileName));
      painter->restore();
      return;
    }
    const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    const bool selected = option.state & QStyle::State_Selected;
    const QColor background = checked ? QColor(192, 192, 192) : selected ? QColor(255, 255, 0) : QColor(255, 255, 255);
    painter->fillRect(r, background);

    QStyleOptionViewItem box(option);
    initStyleOption(&box, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    box.rect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &box, widget);
    box.state = (box.state & ~(QStyle::State_On | QStyle::State_Off | QStyle::State_Selected)) |
                (checked ? QStyle::State_On : QStyle::State_Off);
    box.palette.setColor(QPalette::Base, Qt::white);
    box.palette.setColor(QPalette::Window, background);
    box.palette.setColor(QPalette::Text, Qt::black);
    style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);

    const int left = r.left() + cell;
    const auto line = [&](int x, int width) { return QRect(x, r.top(), width, r.height()); };
    QFont font = option.font;
    painter->setFont(font);
    painter->setPen(selected && !checked ? QColor(255, 0, 0) : QColor(0, 0, 0));
    painter->drawText(line(left + 5, 30), Qt::AlignLeft | Qt::AlignVCenter, index.data(kNumberRole).toString());
    font.setBold(true);
    painter->setFont(font);
    painter->setPen(checked ? QColor(128, 0, 0) : QColor(0, 0, 128));
    // A stored name too long for its column gives way before the original name.
    const QString stored = index.data(kStoredRole).toString();
    painter->drawText(line(left + 35, 123), Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(font).elidedText(stored, Qt::ElideMiddle, 123));
    font.setBold(false);
    painter->setFont(font);
    painter->setPen(QColor(0, 0, 255));
    painter->drawText(line(left + 160, r.right() - left - 160), Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(kOriginalRole).toString());
    painter->restore();
  }

 private:
  const TChoixFicExtract& m_dialog;
};

// The bin: its picture, 32 pixels square, in the middle of the panel.
class BinBox : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap((width() - 32) / 2, (height() - 32) / 2, DrawPicture(Picture::Bin, 32));
  }
};

QFont CourierNew(int points) {
  QFont font;
  font.setFamilies({"Courier New", "Liberation Mono", "Cousine", "DejaVu Sans Mono"});
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(points);
  return font;
}

}  // namespace

TChoixFicExtract::TChoixFicExtract(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ChoixFicExtract"));
  setWindowTitle(Say(SelStr::Caption));
  resize(700, 550);

  CheckListBox1 = new QListWidget;
  CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
  CheckListBox1->setFont(CourierNew(8));
  CheckListBox1->setUniformItemSizes(false);
  CheckListBox1->setItemDelegate(new CheckListDelegate(*this, CheckListBox1));
  CheckListBox1->setMouseTracking(true);
  SelLB = new QListWidget;
  SelLB->setObjectName(QStringLiteral("SelLB"));
  SelLB->setFont(CourierNew(8));
  SelLB->setFixedWidth(145);
  SelLB->setMouseTracking(true);
  CorbeillePB = new BinBox;
  CorbeillePB->setObjectName(QStringLiteral("CorbeillePB"));
  CorbeillePB->setAcceptDrops(true);
  auto* binPanel = new QWidget;
  binPanel->setFixedWidth(46);
  auto* binLayout = new QVBoxLayout(binPanel);
  binLayout->setContentsMargins(0, 0, 0, 0);
  binLayout->addWidget(CorbeillePB);

  SaveInfCB = new QCheckBox(Say(SelStr::SaveInf));
  SaveInfCB->setObjectName(QStringLiteral("SaveInfCB"));
  SaveInfCB->setChecked(true);
  SelTousBtn = new QPushButton(Say(SelStr::SelectAll));
  SelTousBtn->setObjectName(QStringLiteral("SelTousBtn"));
  DeselTousBtn = new QPushButton(Say(SelStr::DeselectAll));
  DeselTousBtn->setObjectName(QStringLiteral("DeselTousBtn"));
  ExtraireBtn = new QPushButton(Say(SelStr::Extract));
  ExtraireBtn->setObjectName(QStringLiteral("ExtraireBtn"));
  ExtraireBtn->setDefault(true);
  AnnulerBtn = new QPushButton(Say(SelStr::Cancel));
  AnnulerBtn->setObjectName(QStringLiteral("AnnulerBtn"));
  StatusBarSF = new QStatusBar;
  StatusBarSF->setObjectName(QStringLiteral("StatusBarSF"));
  StatusBarSF->setSizeGripEnabled(false);
  m_count = new QLabel;
  StatusBarSF->addWidget(m_count, 1);

  auto* lists = new QHBoxLayout;
  lists->addWidget(CheckListBox1, 1);
  lists->addWidget(SelLB);
  lists->addWidget(binPanel);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveInfCB);
  buttons->addSpacing(12);
  buttons->addWidget(SelTousBtn);
  buttons->addWidget(DeselTousBtn);
  buttons->addStretch(1);
  buttons->addWidget(ExtraireBtn);
  buttons->addWidget(AnnulerBtn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 0);
  layout->addLayout(lists, 1);
  layout->addLayout(buttons);
  layout->addWidget(StatusBarSF);

  // The check box cell, measured once on the list as the style lays it out.
  QStyleOptionViewItem probe;
  probe.initFrom(CheckListBox1);
  probe.rect = QRect(0, 0, 300, QFontMetrics(CheckListBox1->font()).height() + 2);
  probe.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
  m_checkCell =
      CheckListBox1->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &probe, CheckListBox1).right() + 1 +
      2;

  m_checkViewport = CheckListBox1->viewport();
  m_chosenViewport = SelLB->viewport();
  for (QWidget* w : {m_checkViewport, m_chosenViewport, CorbeillePB}) w->installEventFilter(this);
  SelLB->viewport()->setAcceptDrops(true);
  connect(CheckListBox1, &QListWidget::itemChanged, this, &TChoixFicExtract::itemChanged);
  connect(SelTousBtn, &QPushButton::clicked, this, [this] { SelTousBtnClick(true); });
  connect(DeselTousBtn, &QPushButton::clicked, this, [this] { SelTousBtnClick(false); });
  connect(ExtraireBtn, &QPushButton::clicked, this, &TChoixFicExtract::ExtraireBtnClick);
  connect(AnnulerBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TChoixFicExtract::setSourceList(const FileListSource* source, std::function<void(bool)> extractSelection) {
  m_source = source;
  m_extract = std::move(extractSelection);
}

int TChoixFicExtract::exec() {
  Show();
  return QDialog::exec();
}

void TChoixFicExtract::Show() {
  m_filling = true;
  SelLB->clear();
  CheckListBox1->clear();
  auto* header = new QListWidgetItem(QStringLiteral("Index"));
  header->setFlags(Qt::ItemIsEnabled);
  CheckListBox1->addItem(header);
  const int rows = m_source ? m_source->rowCount() : 0;
  for (int i = 0; i < rows; ++i) {
    const FileRow row = m_source->row(i);
    const QString stored = ToQt(row.StoredName);
    const QString original = ToQt(ReplaceAll(row.OriginalName, "\"", ""));
    auto* item = new QListWidgetItem(stored + QStringLiteral(" (") + original + ')');
    item->setData(kNumberRole, ToQt(row.Number));
    item->setData(kStoredRole, stored);
    item->setData(kOriginalRole, original);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    CheckListBox1->addItem(item);
    addChosen(stored);
  }
  m_filling = false;
  m_checkPressed = m_selPressed = -1;
  m_hover = true;
  ExtraireBtn->setVisible(true);
  showCount(rows);
}

std::vector<bool> TChoixFicExtract::checkedRows() const {
  std::vector<bool> chosen;
  for (int k = 1; k < CheckListBox1->count(); ++k)
    chosen.push_back(CheckListBox1->item(k)->checkState() == Qt::Checked);
  return chosen;
}

int TChoixFicExtract::checkedCount() const {
  int count = 0;
  for (bool c : checkedRows()) count += c ? 1 : 0;
  return count;
}

QString TChoixFicExtract::statusText() const { return m_count->text(); }

void TChoixFicExtract::showCount(int count) { m_count->setText(ToQt(Format(Str(SelStr::FileCount).c_str(), count))); }

void TChoixFicExtract::recount() {
  const int count = checkedCount();
  ExtraireBtn->setVisible(count > 0);
  showCount(count);
}

QString TChoixFicExtract::storedName(int row) const {
  const QListWidgetItem* item = CheckListBox1->item(row + 1);
  return item ? item->data(kStoredRole).toString() : QString();
}

bool TChoixFicExtract::isChosen(const QString& name) const {
  for (int i = 0; i < SelLB->count(); ++i)
    if (SelLB->item(i)->text() == name) return true;
  return false;
}

void TChoixFicExtract::addChosen(const QString& name) {
  // Sorted as the device sorts names: without regard to letter case.
  int at = 0;
  while (at < SelLB->count() && QString::compare(SelLB->item(at)->text(), name, Qt::CaseInsensitive) <= 0) ++at;
  SelLB->insertItem(at, name);
}

void TChoixFicExtract::removeChosen(const QString& name) {
  for (int i = 0; i < SelLB->count(); ++i) {
    if (SelLB->item(i)->text() == name) {
      delete SelLB->takeItem(i);
      return;
    }
  }
}

void TChoixFicExtract::itemChanged(QListWidgetItem* item) {
  const int k = CheckListBox1->row(item);
  if (m_filling || k < 1) return;
  recount();
  const QString name = item->data(kStoredRole).toString();
  if (item->checkState() == Qt::Checked) {
    if (!isChosen(name)) addChosen(name);
  } else {
    removeChosen(name);
  }
  CheckListBox1->viewport()->update();
}

void TChoixFicExtract::SelTousBtnClick(bool all) {
  m_filling = true;
  for (int k = 1; k < CheckListBox1->count(); ++k)
    CheckListBox1->item(k)->setCheckState(all ? Qt::Checked : Qt::Unchecked);
  SelLB->clear();
  if (all) {
    for (int k = 1; k < CheckListBox1->count(); ++k) addChosen(storedName(k - 1));
  }
  m_filling = false;
  ExtraireBtn->setVisible(all);
  showCount(all ? CheckListBox1->count() - 1 : 0);
}

void TChoixFicExtract::SelLBDragDrop() {
  const int k = m_checkPressed;
  if (k < 1 || k >= CheckListBox1->count()) return;
  const QString name = storedName(k - 1);
  if (isChosen(name)) return;
  m_filling = true;
  addChosen(name);
  CheckListBox1->item(k)->setCheckState(Qt::Checked);
  m_filling = false;
  recount();
}

void TChoixFicExtract::CorbeillePBDragDrop() {
  if (m_selPressed < 0 || m_selPressed >= SelLB->count()) return;
  const QString name = SelLB->item(m_selPressed)->text();
  for (int k = 1; k < CheckListBox1->count(); ++k) {
    if (storedName(k - 1) != name) continue;
    m_filling = true;
    delete SelLB->takeItem(m_selPressed);
    CheckListBox1->item(k)->setCheckState(Qt::Unchecked);
    m_filling = false;
    m_selPressed = -1;
    recount();
    CheckListBox1->viewport()->update();
    return;
  }
}

void TChoixFicExtract::ExtraireBtnClick() {
  m_hover = false;
  // Hidden first: the folder dialog and the extraction's progress are the
  // opener's, and a modal dialog that is hidden ends its loop once this returns.
  setResult(QDialog::Accepted);
  hide();
  if (QWidget* owner = parentWidget()) owner->repaint();
  if (m_extract) m_extract(SaveInfCB->isChecked());
  m_hover = true;
  done(QDialog::Accepted);
}

void TChoixFicExtract::startDrag(QWidget* source) {
  auto* drag = new QDrag(source);
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kDragFormat), source == CheckListBox1 ? "check" : "chosen");
  drag->setMimeData(data);
  drag->exec(Qt::MoveAction);
}

bool TChoixFicExtract::eventFilter(QObject* watched, QEvent* event) {
  // Compared, never asked: events still come while the lists are being destroyed.
  QWidget* checkList = m_checkViewport;
  QWidget* chosen = m_chosenViewport;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
      m_pressPos = pos;
      if (watched == checkList) {
        const int k = CheckListBox1->row(CheckListBox1->itemAt(pos));
        m_checkPressed = k >= 1 ? k : -1;
      } else if (watched == chosen) {
        const QListWidgetItem* item = SelLB->itemAt(pos);
        m_selPressed = item ? SelLB->row(item) : -1;
      }
      return false;
    }
    case QEvent::MouseMove: {
      const auto* move = static_cast<QMouseEvent*>(event);
      if (watched != checkList && watched != chosen) return false;
      QWidget* list = watched == checkList ? static_cast<QWidget*>(CheckListBox1) : static_cast<QWidget*>(SelLB);
      if (move->buttons() == Qt::NoButton) {
        if (m_hover && !list->hasFocus()) list->setFocus();
        return false;
      }
      if (!(move->buttons() & Qt::LeftButton)) return false;
      if ((move->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        startDrag(list);
      return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      const bool accepted =
          (watched == chosen && drag->source() == CheckListBox1) || (watched == CorbeillePB && drag->source() == SelLB);
      if (accepted)
        drag->acceptProposedAction();
      else
        drag->ignore();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (watched == chosen && drop->source() == CheckListBox1) {
        drop->acceptProposedAction();
        SelLBDragDrop();
      } else if (watched == CorbeillePB && drop->source() == SelLB) {
        drop->acceptProposedAction();
        CorbeillePBDragDrop();
      } else {
        drop->ignore();
      }
      return true;
    }
    default: return false;
  }
}

}  // namespace vornix

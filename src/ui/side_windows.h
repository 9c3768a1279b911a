// The small windows around the main one: about box, version history, links.
#pragma once

#include <QDialog>

namespace vornix {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

/// The version history, a rich-text document kept in the program.
class HistoryWindow : public QDialog {
  Q_OBJECT
 public:
  explicit HistoryWindow(QWidget* parent = nullptr);
};

class LinksWindow : public QDialog {
  Q_OBJECT
 public:
  explicit LinksWindow(QWidget* parent = nullptr);
};

}  // namespace vornix

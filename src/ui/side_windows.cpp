#include "ui/side_windows.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "presentation/catalogue.h"
#include "ui/pictures.h"
#include "ui/qt_text.h"

namespace vornix {
namespace {

QVBoxLayout* Frame(QDialog* dialog, const QString& title) {
  dialog->setWindowTitle(title);
  auto* layout = new QVBoxLayout(dialog);
  return layout;
}

void AddClose(QDialog* dialog, QVBoxLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
}

const char* const kHistory =
    "<h3>Vornix</h3>"
    "<p><b>" VORNIX_VERSION
    "</b></p>"
    "<ul>"
    "<li>Opens Windows CE installation cabinets, Pocket PC themes and bare setup files.</li>"
    "<li>Shows the setup description in seven lists and a formatted report.</li>"
    "<li>Rebuilds the INF file; saves it, copies it, saves the report as RTF.</li>"
    "<li>Extracts the files under their original names, in their folders or flat.</li>"
    "<li>A second start hands its file to the running copy.</li>"
    "</ul>";

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  QVBoxLayout* layout = Frame(this, ToQt(Str(MainStr::AboutVornix)));
  auto* picture = new QLabel;
  picture->setPixmap(DrawPicture(Picture::About, 48));
  picture->setAlignment(Qt::AlignCenter);
  layout->addWidget(picture);
  auto* name = new QLabel(QStringLiteral("<b>Vornix</b> " VORNIX_VERSION));
  name->setAlignment(Qt::AlignCenter);
  layout->addWidget(name);
  auto* comment = new QLabel(ToQt(Str(MainStr::Title)));  // the comment line is the product's title
  comment->setObjectName("Comments");
  comment->setAlignment(Qt::AlignCenter);
  layout->addWidget(comment);
  layout->addWidget(new QLabel(ToQt(Str(MainStr::EnglishVersion))), 0, Qt::AlignCenter);
  AddClose(this, layout);
}

HistoryWindow::HistoryWindow(QWidget* parent) : QDialog(parent) {
  QVBoxLayout* layout = Frame(this, QStringLiteral("Help - History"));
  auto* text = new QTextBrowser;
  text->setHtml(QString::fromUtf8(kHistory));
  layout->addWidget(text);
  AddClose(this, layout);
  resize(480, 320);
}

LinksWindow::LinksWindow(QWidget* parent) : QDialog(parent) {
  QVBoxLayout* layout = Frame(this, QStringLiteral("Vornix - links"));
  auto* links =
      new QLabel(QStringLiteral("<p>Vornix web site: <a href=\"https://vornix.example.org/\">vornix.example.org</a></p>"
                                "<p>Builds in other languages: French, English, German, Italian, Spanish, Dutch.</p>"));
  links->setOpenExternalLinks(true);
  links->setTextFormat(Qt::RichText);
  layout->addWidget(links);
  AddClose(this, layout);
}

}  // namespace vornix

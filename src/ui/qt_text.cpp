#include "ui/qt_text.h"

#include "common/text.h"

namespace vornix {

QString ToQt(std::string_view cp1252) {
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQt(const QString& text) { return Utf8ToCp1252(text.toUtf8().toStdString()); }

QString PathToQt(const std::string& utf8Path) { return QString::fromUtf8(utf8Path.c_str()); }

}  // namespace vornix

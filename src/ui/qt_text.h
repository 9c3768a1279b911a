// The edge between the model's Windows-1252 text and Qt's strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace vornix {

QString ToQt(std::string_view cp1252);
std::string FromQt(const QString& text);  // to Windows-1252
/// A host path (UTF-8 on POSIX) as a QString and back.
QString PathToQt(const std::string& utf8Path);

}  // namespace vornix

#include "app/json_text.h"

#include "common/text.h"

namespace vornix {

Json JsonText(const std::string& cp1252) { return Json(Cp1252ToUtf8(cp1252)); }

Json JsonTexts(const std::vector<std::string>& texts) {
  Json out = Json::array();
  for (const std::string& t : texts) out.push_back(JsonText(t));
  return out;
}

Json JsonDosDate(uint16_t date, uint16_t time) {
  const int year = (date >> 9) + 1980, month = (date >> 5) & 0x0F, day = date & 0x1F;
  const int hour = time >> 11, minute = (time >> 5) & 0x3F, second = (time & 0x1F) * 2;
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1] || (month == 2 && day == 29 && !leap))
    return nullptr;
  if (hour > 23 || minute > 59 || second > 59) return nullptr;
  return Format("%.4d-%.2d-%.2dT%.2d:%.2d:%.2d", year, month, day, hour, minute, second);
}

}  // namespace vornix

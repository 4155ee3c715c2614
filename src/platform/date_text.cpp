// Dates as text: days since 30 December 1899, the fraction being the time of day.
#include <cmath>
#include <cstdio>

#include "platform/number_p.h"

namespace morphel::platform {
namespace {

constexpr double kFirstDate = -657434.0;  // 1 January 100
constexpr double kLastDate = 2958466.0;   // just past 31 December 9999
constexpr long kDaysFrom1970To1899 = -25569;
constexpr long kSecondsPerDay = 86400;

struct CivilDate {
  long year;
  int month;
  int day;
};

// Calendar date of a day counted from 1 January 1970 (proleptic Gregorian).
CivilDate CivilFromDays(long days) {
  days += 719468;
  long era = (days >= 0 ? days : days - 146096) / 146097;
  long dayOfEra = days - era * 146097;
  long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  long monthIndex = (5 * dayOfYear + 2) / 153;
  CivilDate date;
  date.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  date.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  date.year = yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0);
  return date;
}

}  // namespace

HRESULT DateText(double date, BSTR *out) {
  if (!(date >= kFirstDate && date < kLastDate)) return E_INVALIDARG;
  double whole = std::trunc(date);
  long seconds = std::lround(std::fabs(date - whole) * kSecondsPerDay);
  if (seconds >= kSecondsPerDay) seconds = kSecondsPerDay - 1;
  bool showDate = whole != 0.0;
  bool showTime = seconds != 0 || !showDate;
  char text[48];
  int length = 0;
  if (showDate) {
    CivilDate civil = CivilFromDays(static_cast<long>(whole) + kDaysFrom1970To1899);
    length = std::snprintf(text, sizeof text, "%d/%d/%ld", civil.month, civil.day, civil.year);
  }
  if (showTime) {
    long hour = seconds / 3600;
    long hour12 = hour % 12 == 0 ? 12 : hour % 12;
    if (showDate) text[length++] = ' ';
    length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), "%ld:%02ld:%02ld %s",
                            hour12, seconds / 60 % 60, seconds % 60, hour < 12 ? "AM" : "PM");
  }
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (result == nullptr) return E_OUTOFMEMORY;
  for (int i = 0; i < length; ++i) result[i] = static_cast<OLECHAR>(text[i]);
  *out = result;
  return S_OK;
}

}  // namespace morphel::platform

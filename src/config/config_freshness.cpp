#include "config/config_freshness.h"

#include "text/utf8.h"

namespace orv {
namespace {

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = year / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(int64_t year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The digits of text[at, at + count) as a number; false when one is not a digit.
bool Digits(std::string_view text, std::size_t at, std::size_t count, unsigned& value) {
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return true;
}

std::string Padded(uint32_t value, size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

}  // namespace

std::optional<int64_t> ParseUtcTime(std::string_view text) {
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
      !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second)) {
    return std::nullopt;
  }
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string FormatUtcTime(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  // Days and seconds of the day; past that, 32-bit arithmetic suffices (the inverse of
  // DaysFromCivil, for days from 1970 on).
  const uint32_t days = static_cast<uint32_t>(seconds / 86400);
  const uint32_t inDay = static_cast<uint32_t>(seconds - int64_t{days} * 86400);
  const uint32_t shifted = days + 719468;
  const uint32_t era = shifted / 146097;
  const uint32_t dayOfEra = shifted - era * 146097;
  const uint32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const uint32_t monthIndex = (5 * dayOfYear + 2) / 153;
  const uint32_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const uint32_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  const uint32_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  const uint32_t fields[] = {year, month, day, inDay / 3600, inDay / 60 % 60, inDay % 60};
  static constexpr char kAfter[] = "--T::Z";
  std::string text;
  for (size_t i = 0; i < 6; ++i) {
    text += Padded(fields[i], i == 0 ? 4 : 2);
    text += kAfter[i];
  }
  return text;
}

FreshnessVerdict JudgeFreshness(const StubConfig& config, const FreshnessRules& rules) {
  if (rules.signedBuild) {
    const char* missing = !config.product   ? "product"
                          : !config.serial  ? "serial"
                          : !config.expires ? "expires"
                          : !config.sha256  ? "sha256"
                          : !config.size    ? "size"
                                            : nullptr;
    if (missing) return {std::string(missing) + " is required in a signed configuration", {}};
  }
  if (config.product && *config.product != rules.product) {
    return {"the configuration is for product \"" + ToUtf8(*config.product) + "\", this stub installs \"" +
                ToUtf8(rules.product) + "\"",
            {}};
  }
  if (config.serial && *config.serial < rules.serialFloor) {
    return {"serial " + std::to_string(*config.serial) + " is below this stub's lowest serial " +
                std::to_string(rules.serialFloor),
            {}};
  }
  if (config.serial && rules.highestSerial && *config.serial < *rules.highestSerial) {
    return {"serial " + std::to_string(*config.serial) + " is older than serial " +
                std::to_string(*rules.highestSerial) + ", accepted before on this machine",
            {}};
  }
  if (config.expires && rules.now > *config.expires) {
    const std::string expired = "the configuration expired at " + FormatUtcTime(*config.expires) +
                                "; this machine's clock says " + FormatUtcTime(rules.now);
    if (rules.pastExpiryIsWarning) return {{}, expired};
    return {expired, {}};
  }
  return {};
}

}  // namespace orv

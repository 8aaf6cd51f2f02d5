// Clocks: the host's time since its start, and the calendar from its epoch.
#include "Core.h"
#include "Host.h"

using namespace vemora::platform;

static std::uint64_t Now() {
  std::unique_lock<std::mutex> held(Global().lock);
  return CurrentHost().NowUs();
}

DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(Now() / 1000); }

static void ToCalendar(std::int64_t seconds, WORD milliseconds, SYSTEMTIME* out) {
  // Days since 1970-01-01 to a civil date (proleptic Gregorian).
  std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  std::int64_t secondOfDay = seconds - days * 86400;
  std::int64_t z = days + 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t dayOfEra = z - era * 146097;
  std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  std::int64_t mp = (5 * dayOfYear + 2) / 153;
  std::int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  out->wYear = static_cast<WORD>(year);
  out->wMonth = static_cast<WORD>(month);
  out->wDay = static_cast<WORD>(day);
  out->wDayOfWeek = static_cast<WORD>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
  out->wHour = static_cast<WORD>(secondOfDay / 3600);
  out->wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
  out->wSecond = static_cast<WORD>(secondOfDay % 60);
  out->wMilliseconds = milliseconds;
}

static void Calendar(bool local, SYSTEMTIME* out) {
  if (out == nullptr) return;
  std::unique_lock<std::mutex> held(Global().lock);
  Host& host = CurrentHost();
  std::uint64_t now = host.NowUs();
  std::int64_t seconds = host.EpochSeconds() + static_cast<std::int64_t>(now / 1000000);
  if (!local) seconds -= host.UtcOffsetSeconds();
  ToCalendar(seconds, static_cast<WORD>(now / 1000 % 1000), out);
}

void WINAPI GetLocalTime(LPSYSTEMTIME time) { Calendar(true, time); }
void WINAPI GetSystemTime(LPSYSTEMTIME time) { Calendar(false, time); }

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  // The classic image base; only ever compared and passed back.
  return moduleName == nullptr ? reinterpret_cast<HMODULE>(0x00400000) : nullptr;
}

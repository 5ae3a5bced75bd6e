#include "model/day_choice.h"

#include <array>

namespace {

int weekOffset(WeekShown week) {
    switch (week) {
    case WeekShown::Previous:
        return -7;
    case WeekShown::Next:
        return 7;
    case WeekShown::Current:
        break;
    }
    return 0;
}

// The short-date pictures that put the day before the month.
constexpr std::array<const char*, 12> kDayFirstShortDates = {
    "d/MM/yy", "d.MM.yy", "d-MM-yy", "dd-MM-yy", "dd/MM/yy", "dd.MM.yy",
    "d-M-yy",  "d.M.yy",  "d/M/yy",  "dd-M-yy",  "dd.M.yy",  "dd/M/yy",
};

// The pictures are told apart on a date whose day, month and two-digit year
// all differ and whose day cannot be a month. On a day such as 3 March a
// month-first date reads exactly like a day-first one, and the captions would
// change their order from one day to the next.
const QDate kProbeDate(2013, 11, 28);

} // namespace

int WeekdayNumber(const QDate& date) {
    // Qt counts Monday 1 to Sunday 7 already.
    return date.isValid() ? date.dayOfWeek() : 0;
}

QDate DayOfWeekShown(const QDate& today, int weekday, WeekShown week) {
    if (weekday < 1 || weekday > 7 || !today.isValid()) {
        return QDate();
    }
    return today.addDays(weekday - WeekdayNumber(today) + weekOffset(week));
}

QString SelectedDayText(const QDate& today, int weekday, WeekShown week) {
    const QDate day = DayOfWeekShown(today, weekday, week);
    return day.isValid() ? day.toString(QStringLiteral("yyyyMMdd")) : QString();
}

WeekStep WeekBoundaryStep(WeekShown shown, int weekday, bool up) {
    if (up && weekday == 1) {
        switch (shown) {
        case WeekShown::Current:
            return {true, WeekShown::Previous, 7};
        case WeekShown::Next:
            return {true, WeekShown::Current, 7};
        case WeekShown::Previous:
            return {true, WeekShown::Previous, 1};
        }
    }
    if (!up && weekday == 7) {
        switch (shown) {
        case WeekShown::Current:
            return {true, WeekShown::Next, 1};
        case WeekShown::Previous:
            return {true, WeekShown::Current, 1};
        case WeekShown::Next:
            return {true, WeekShown::Next, 7};
        }
    }
    return {false, shown, weekday};
}

WeekShown AfterWeekButton(WeekShown shown, bool back) {
    if (back) {
        return shown == WeekShown::Next ? WeekShown::Current : WeekShown::Previous;
    }
    return shown == WeekShown::Previous ? WeekShown::Current : WeekShown::Next;
}

QString DayCaptionPicture(const QLocale& locale) {
    const QString shortDate = locale.toString(kProbeDate, QLocale::ShortFormat);
    for (const char* picture : kDayFirstShortDates) {
        if (locale.toString(kProbeDate, QLatin1String(picture)) == shortDate) {
            return kDayFirstPicture;
        }
    }
    return kMonthFirstPicture;
}

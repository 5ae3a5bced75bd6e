#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

// The day screen's arithmetic: one calendar week, Monday to Sunday, shown as
// the current week or the week before or after it. Weekdays are numbered 1
// (Monday) to 7 (Sunday).

enum class WeekShown { Current, Previous, Next };

// 1 Monday ... 7 Sunday; 0 for an invalid date.
int WeekdayNumber(const QDate& date);

// The date of `weekday` in the week shown, counted from today; an invalid date
// for a weekday outside 1 to 7.
QDate DayOfWeekShown(const QDate& today, int weekday, WeekShown week);

// The chosen day as the route request wants it, "yyyyMMdd"; "" for a weekday
// outside 1 to 7.
QString SelectedDayText(const QDate& today, int weekday, WeekShown week);

// Where Up on a Monday or Down on a Sunday leads. `boundary` is false for
// every other key and day: the focus then simply moves to the neighbouring
// day. At the edge of the three weeks the day stays where it is.
struct WeekStep {
    bool boundary = false;
    WeekShown week = WeekShown::Current;
    int weekday = 0; // the day selected afterwards
    friend bool operator==(const WeekStep&, const WeekStep&) = default;
};
WeekStep WeekBoundaryStep(WeekShown shown, int weekday, bool up);

// The week shown after the previous-week (`back`) or next-week button: from
// the other side the button returns to the current week.
WeekShown AfterWeekButton(WeekShown shown, bool back);

// The picture of the day captions in a locale: "dddd d MMM" where the short
// date writes the day first, else "dddd MMM d".
QString DayCaptionPicture(const QLocale& locale);
inline const QString kDayFirstPicture = QStringLiteral("dddd d MMM");
inline const QString kMonthFirstPicture = QStringLiteral("dddd MMM d");

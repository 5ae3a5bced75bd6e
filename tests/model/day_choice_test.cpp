#include "model/day_choice.h"

#include <gtest/gtest.h>

namespace {

// 10 to 16 March 2025 is a Monday-to-Sunday week.
QDate march(int day) {
    return QDate(2025, 3, day);
}

TEST(DayChoice, WeekdaysCountSundayAsSeven) {
    for (int day = 10; day <= 16; ++day) {
        EXPECT_EQ(WeekdayNumber(march(day)), day - 9);
    }
    EXPECT_EQ(WeekdayNumber(QDate()), 0);
}

TEST(DayChoice, EveryDayOfTheThreeWeeksFromEveryWeekday) {
    // Whatever today is, field k shows the k-th day of today's week, or of the
    // week before or after.
    for (int today = 10; today <= 16; ++today) {
        SCOPED_TRACE(today);
        for (int k = 1; k <= 7; ++k) {
            EXPECT_EQ(DayOfWeekShown(march(today), k, WeekShown::Current), march(9 + k));
            EXPECT_EQ(DayOfWeekShown(march(today), k, WeekShown::Previous), march(2 + k));
            EXPECT_EQ(DayOfWeekShown(march(today), k, WeekShown::Next), march(16 + k));
        }
    }
}

TEST(DayChoice, SelectedDayText) {
    struct Case {
        const char* name;
        QDate today;
        int weekday;
        WeekShown week;
        const char* text;
    };
    const Case cases[] = {
        {"on a Sunday the week ends today", march(16), 7, WeekShown::Current, "20250316"},
        {"Monday of the previous week on a Wednesday: nine days back", march(12), 1,
         WeekShown::Previous, "20250303"},
        {"Sunday of the next week across the month", QDate(2025, 4, 23), 7, WeekShown::Next,
         "20250504"},
        {"across the year", QDate(2025, 1, 1), 1, WeekShown::Previous, "20241223"},
        {"no weekday chosen", march(12), 0, WeekShown::Current, ""},
        {"weekday out of range", march(12), 8, WeekShown::Current, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SelectedDayText(c.today, c.weekday, c.week), QLatin1String(c.text));
    }
}

TEST(DayChoice, UpAndDownAtTheEdgesOfAWeek) {
    using W = WeekShown;
    struct Case {
        const char* name;
        W shown;
        int weekday;
        bool up;
        WeekStep step;
    };
    const Case cases[] = {
        {"Up on Monday of this week: Sunday of the last",
         W::Current,
         1,
         true,
         {true, W::Previous, 7}},
        {"Up on Monday of the next week: Sunday of this", W::Next, 1, true, {true, W::Current, 7}},
        {"Up on Monday of the last week: stays", W::Previous, 1, true, {true, W::Previous, 1}},
        {"Down on Sunday of this week: Monday of the next",
         W::Current,
         7,
         false,
         {true, W::Next, 1}},
        {"Down on Sunday of the last week: Monday of this",
         W::Previous,
         7,
         false,
         {true, W::Current, 1}},
        {"Down on Sunday of the next week: stays", W::Next, 7, false, {true, W::Next, 7}},
        {"Up inside the week is an ordinary move", W::Current, 4, true, {false, W::Current, 4}},
        {"Down on Monday is an ordinary move", W::Previous, 1, false, {false, W::Previous, 1}},
        {"Up on Sunday is an ordinary move", W::Next, 7, true, {false, W::Next, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WeekBoundaryStep(c.shown, c.weekday, c.up), c.step);
    }
}

TEST(DayChoice, CaptionPictureFollowsTheLocalesShortDate) {
    struct Case {
        const char* name;
        QLocale locale;
        const QString& picture;
    };
    const Case cases[] = {
        {"day first, dd.MM.yy", QLocale(QLocale::German, QLocale::Germany), kDayFirstPicture},
        {"month first, M/d/yy", QLocale(QLocale::English, QLocale::UnitedStates),
         kMonthFirstPicture},
        {"four-digit year matches none", QLocale(QLocale::English, QLocale::UnitedKingdom),
         kMonthFirstPicture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SCOPED_TRACE(c.locale.dateFormat(QLocale::ShortFormat).toStdString());
        EXPECT_EQ(DayCaptionPicture(c.locale), c.picture);
    }
}

} // namespace

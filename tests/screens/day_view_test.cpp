// The day screen: the three weeks, the keys at their edges and the day stored.
#include "platform/clock.h"
#include "screen_fixture.h"
#include "screens/day_selection_view.h"
#include "widgets/image_button.h"

#include <QLineEdit>
#include <QLocale>

namespace {

class DayView : public ScreenFixture {
protected:
    DayView() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~DayView() override { QLocale::setDefault(QLocale::system()); }

    CDaySelectionView* openOn(const QDate& today) {
        clock.set(QDateTime(today, QTime(6, 0)));
        view = open<CDaySelectionView>();
        return view;
    }
    QString caption(int weekday) { return view->dayField(weekday)->text(); }
    int focusedDay() {
        for (int k = 1; k <= 7; ++k) {
            if (focused() == view->dayField(k)) {
                return k;
            }
        }
        return 0;
    }
    QString stored() {
        EXPECT_EQ(view->runOperation(ScreenOperation::StoreDay), Result::Ok);
        return doc.selectedDay;
    }
    void click(const char* button) { child<CImageButton>(button)->click(); }

    ScopedClock clock{QDateTime(QDate(2025, 3, 12), QTime(6, 0))};
    CDaySelectionView* view = nullptr;
};

TEST_F(DayView, OpensOnTodayInTheCurrentWeek) {
    doc.viewBy = "DELIVERY";
    openOn(QDate(2025, 3, 12)); // a Wednesday
    EXPECT_EQ(view->titleLabel()->text(), "Select delivery day");
    EXPECT_EQ(caption(1), "Monday Mar 10");
    EXPECT_EQ(caption(7), "Sunday Mar 16");
    EXPECT_EQ(focusedDay(), 3);
    EXPECT_EQ(doc.selectedWeekday, 3);
    EXPECT_EQ(view->dayField(3)->selectedText(), caption(3));
    EXPECT_FALSE(child<CImageButton>("ok")->isHidden());
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::DayOk});
    EXPECT_EQ(stored(), "20250312");
}

TEST_F(DayView, SundayIsTheLastFieldAndDayFirstLocales) {
    doc.language = "Deutsch"; // the names follow the program's language, not the machine's
    doc.viewBy = "PRODUCTION";
    openOn(QDate(2025, 3, 16));
    EXPECT_EQ(view->titleLabel()->text(), "Select production day");
    EXPECT_EQ(focusedDay(), 7);
    EXPECT_EQ(caption(7), "Sonntag 16 März");
    EXPECT_EQ(stored(), "20250316");
}

TEST_F(DayView, WeekButtonsGoOneWeekAwayAndBackToToday) {
    openOn(QDate(2025, 3, 12));
    click("previousWeek");
    EXPECT_EQ(view->weekShown(), WeekShown::Previous);
    EXPECT_EQ(caption(1), "Monday Mar 3");
    EXPECT_EQ(focusedDay(), 7);
    EXPECT_FALSE(child<CImageButton>("previousWeek")->isEnabled()) << "a second press is refused";
    EXPECT_TRUE(child<CImageButton>("nextWeek")->isEnabled());
    view->dayField(1)->setFocus();
    EXPECT_EQ(stored(), "20250303") << "Monday of the previous week: nine days back";
    click("nextWeek");
    EXPECT_EQ(view->weekShown(), WeekShown::Current);
    EXPECT_EQ(focusedDay(), 3) << "back to today";
    click("nextWeek");
    EXPECT_EQ(caption(1), "Monday Mar 17");
    EXPECT_EQ(focusedDay(), 1);
    EXPECT_EQ(stored(), "20250317");
}

TEST_F(DayView, UpAndDownWalkAcrossTheWeeks) {
    openOn(QDate(2025, 3, 12));
    struct Step {
        Qt::Key key;
        WeekShown week;
        int day;
        const char* stored;
    };
    const Step walk[] = {
        {Qt::Key_Up, WeekShown::Current, 2, "20250311"},
        {Qt::Key_Up, WeekShown::Current, 1, "20250310"},
        {Qt::Key_Up, WeekShown::Previous, 7, "20250309"},
        {Qt::Key_Down, WeekShown::Current, 1, "20250310"},
        {Qt::Key_Up, WeekShown::Previous, 7, "20250309"},
        {Qt::Key_Up, WeekShown::Previous, 6, "20250308"},
    };
    for (const Step& s : walk) {
        press(s.key);
        EXPECT_EQ(view->weekShown(), s.week);
        EXPECT_EQ(focusedDay(), s.day);
        EXPECT_EQ(stored(), s.stored);
    }
    for (int i = 0; i < 5; ++i) {
        press(Qt::Key_Up);
    }
    EXPECT_EQ(focusedDay(), 1);
    press(Qt::Key_Up);
    EXPECT_EQ(view->weekShown(), WeekShown::Previous) << "no week before the previous one";
    EXPECT_EQ(focusedDay(), 1);
    // Down through the current week into the next one, and no further.
    for (int i = 0; i < 6 + 1 + 6 + 1 + 6; ++i) {
        press(Qt::Key_Down);
    }
    EXPECT_EQ(view->weekShown(), WeekShown::Next);
    EXPECT_EQ(focusedDay(), 7);
    press(Qt::Key_Down);
    EXPECT_EQ(view->weekShown(), WeekShown::Next);
    EXPECT_EQ(stored(), "20250323");
    // From Monday of the next week Up returns to the current week's Sunday,
    // not to today.
    for (int i = 0; i < 7; ++i) {
        press(Qt::Key_Up);
    }
    EXPECT_EQ(view->weekShown(), WeekShown::Current);
    EXPECT_EQ(focusedDay(), 7);
}

TEST_F(DayView, OtherKeysDoNothingButTabReachesTheButtons) {
    openOn(QDate(2025, 3, 12));
    press(Qt::Key_A);
    press(Qt::Key_Delete);
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_EQ(caption(3), "Wednesday Mar 12");
    press(Qt::Key_Escape);
    press(Qt::Key_Left);
    press(Qt::Key_Right);
    EXPECT_EQ(frame.commands, (std::vector<int>{Cmd::DayBack, Cmd::DayBack, Cmd::DayOk}));
}

TEST_F(DayView, TheStoredDayIsTheOneShownAfterMidnight) {
    openOn(QDate(2025, 3, 12));
    clock.set(QDateTime(QDate(2025, 3, 13), QTime(0, 5)));
    EXPECT_EQ(stored(), "20250312") << "the worker chose the Wednesday he saw";
}

} // namespace

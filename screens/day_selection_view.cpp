#include "screens/day_selection_view.h"

#include "config/text_helpers.h"
#include "model/korvo_doc.h"
#include "platform/clock.h"
#include "widgets/colour_widgets.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>

CDaySelectionView::CDaySelectionView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kDayScreen, parent) {
    for (int k = 0; k < 7; ++k) {
        auto* day = new QLineEdit(this);
        day->setObjectName(QStringLiteral("day%1").arg(k + 1));
        day->setReadOnly(true);
        day->setAlignment(Qt::AlignCenter);
        day->setFont(ArialFont(15, false));
        day->installEventFilter(this);
        days_[static_cast<std::size_t>(k)] = day;
    }
    ok_ = MakeScreenButton(this, "ok", kOkButtonId, IconGlyph::Ok);
    back_ = MakeScreenButton(this, "back", kBackButtonId, IconGlyph::Back);
    previousWeek_ =
        MakeScreenButton(this, "previousWeek", kPreviousWeekButtonId, IconGlyph::WeekBack);
    nextWeek_ = MakeScreenButton(this, "nextWeek", kNextWeekButtonId, IconGlyph::WeekAhead);
    connect(ok_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::DayOk); });
    connect(back_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::DayBack); });
    connect(previousWeek_, &QAbstractButton::clicked, this, [this] { weekButton(true); });
    connect(nextWeek_, &QAbstractButton::clicked, this, [this] { weekButton(false); });
}

QLineEdit* CDaySelectionView::dayField(int weekday) const {
    return weekday >= 1 && weekday <= 7 ? days_[static_cast<std::size_t>(weekday - 1)] : nullptr;
}

void CDaySelectionView::activate() {
    layoutButtons({kOkButtonId, kBackButtonId, kPreviousWeekButtonId, kNextWeekButtonId, 0, 0});
    // Seven fields of equal height fill the space between title and buttons.
    const QRect area = contentArea();
    const int height = (area.height() - 4) / 7;
    for (int k = 0; k < 7; ++k) {
        days_[static_cast<std::size_t>(k)]->setGeometry(0, area.top() + 2 + k * height,
                                                        area.width(), height);
    }
    picture_ = DayCaptionPicture(LanguageLocale(doc_.language));
    initialise();
}

void CDaySelectionView::initialise() {
    setTitle(T(doc_.viewBy == QLatin1String("DELIVERY")
                   ? QStringLiteral("lblSelectDeliveryDay")
                   : QStringLiteral("lblSelectProductionDay")));
    today_ = DeviceClock::now().date();
    showWeek(WeekShown::Current);
    if (startAtToday_ || doc_.selectedWeekday < 1 || doc_.selectedWeekday > 7) {
        doc_.selectedWeekday = WeekdayNumber(today_);
    }
    focusDay(doc_.selectedWeekday);
    inputPanel(false);
}

void CDaySelectionView::showWeek(WeekShown week) {
    week_ = week;
    const QLocale locale = LanguageLocale(doc_.language);
    for (int k = 1; k <= 7; ++k) {
        dayField(k)->setText(locale.toString(DayOfWeekShown(today_, k, week), picture_));
    }
    previousWeek_->EnableButton(week != WeekShown::Previous);
    nextWeek_->EnableButton(week != WeekShown::Next);
}

void CDaySelectionView::focusDay(int weekday) {
    if (QLineEdit* day = dayField(weekday)) {
        day->setFocus(Qt::OtherFocusReason);
        // Already focused: the focus handler does not run again.
        doc_.selectedWeekday = weekday;
        day->selectAll();
    }
}

int CDaySelectionView::focusedDay() const {
    const QWidget* focused = focusWidget();
    for (int k = 1; k <= 7; ++k) {
        if (dayField(k) == focused) {
            return k;
        }
    }
    return 0;
}

void CDaySelectionView::weekButton(bool back) {
    const WeekShown next = AfterWeekButton(week_, back);
    if (next == WeekShown::Current) {
        initialise();
        return;
    }
    showWeek(next);
    focusDay(back ? 7 : 1);
}

void CDaySelectionView::stepDays(bool up) {
    const int day = focusedDay();
    if (day == 0) {
        return;
    }
    const WeekStep step = WeekBoundaryStep(week_, day, up);
    if (!step.boundary) {
        focusDay(up ? day - 1 : day + 1);
        return;
    }
    if (step.week == week_) {
        return;
    }
    startAtToday_ = false;
    doc_.selectedWeekday = step.weekday;
    if (step.week == WeekShown::Current) {
        initialise();
    } else {
        showWeek(step.week);
        focusDay(step.weekday);
    }
}

QString CDaySelectionView::runOperation(ScreenOperation operation) {
    if (operation != ScreenOperation::StoreDay) {
        return KorvoView::runOperation(operation);
    }
    const QString day = SelectedDayText(today_, doc_.selectedWeekday, week_);
    if (day.isEmpty()) {
        return Result::NotOk;
    }
    doc_.selectedDay = day;
    return Result::Ok;
}

bool CDaySelectionView::handleKey(QKeyEvent* event) {
    return DispatchKey(event->key(),
                       {
                           {kEnterKey | kRightKey, keyCommand(Cmd::DayOk)},
                           {kBackKeys, keyCommand(Cmd::DayBack)},
                           {kUpKey | kDownKey,
                            [this](int key) {
                                stepDays(key == Qt::Key_Up);
                                return true;
                            }},
                           // Tab reaches the buttons; the soft keys open the menu bar.
                           {kTabKey | kSoftKey, PassOn},
                       },
                       /*othersUsedUp=*/true); // nothing else has a meaning on this screen
}

bool CDaySelectionView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        for (int k = 1; k <= 7; ++k) {
            QLineEdit* day = dayField(k);
            if (watched != day) {
                continue;
            }
            if (event->type() == QEvent::FocusOut) {
                day->deselect();
                break;
            }
            doc_.selectedWeekday = k;
            if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason) {
                // The tap that gave the focus places the cursor afterwards.
                QTimer::singleShot(0, day, &QLineEdit::selectAll);
            } else {
                day->selectAll();
            }
            break;
        }
    }
    return KorvoView::eventFilter(watched, event);
}

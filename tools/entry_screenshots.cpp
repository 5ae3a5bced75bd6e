#include "entry_screenshots.h"

#include "model/korvo_doc.h"
#include "platform/clock.h"
#include "shell/main_frame.h"
#include "shell/screens.h"
#include "widgets/input_panel.h"
#include "widgets/korvo_view.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QStringList>

namespace {

// The device's own locale goes with its language: day names and date order.
QLocale localeFor(const QString& language) {
    if (language == QLatin1String("Deutsch")) {
        return QLocale(QLocale::German, QLocale::Germany);
    }
    if (language == QLatin1String("Nederlands")) {
        return QLocale(QLocale::Dutch, QLocale::Netherlands);
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

void fillWorkState(CKorvoDoc& doc) {
    Settings& s = *doc.currentSettings;
    s.DNENR = true;
    s.PDID = 3;
    s.ACS = true;
    s.SPN = 0;
    s.AORD = 2;
    s.DNPP = 1;
    s.departments = {{1, "D1", "Dairy"},
                     {3, "D3", "Fresh produce"},
                     {4, "D4", "Bakery"},
                     {7, "D7", "Frozen foods"}};
    s.containerRanges = {{8, "10000000", "19999999"}};
    doc.routes = {
        {501, 12, "Harwick North", 14, 3, 27}, {502, 14, "Harwick harbour", 6, 0, 31},
        {503, 21, "Millbrook", 0, 2, 18},      {504, 22, "Millbrook east", 9, 1, 4},
        {505, 30, "Dunmore coast", 22, 5, 0},  {506, 31, "Dunmore villages", 3, 0, 12},
        {507, 40, "Kellsford", 11, 4, 9},      {508, 41, "Kellsford market", 1, 1, 1},
        {509, 55, "Airport hotels", 7, 0, 2},  {510, 60, "Cash and carry", 0, 0, 40},
    };
    doc.currentRoute = doc.routes.front();
    const char* customers[] = {"Corner Deli Harwick", "Harbour View Hotel",  "St. Anne's School",
                               "Fresh & Fine",        "Millbrook Care Home", "The Old Mill Cafe",
                               "Dockside Canteen",    "Greenway Grocers",    "Bayside Bistro",
                               "North Road Bakery",   "Pier 7 Restaurant",   "Harwick Hospital"};
    doc.packingNoteList.clear();
    int n = 0;
    for (const char* customer : customers) {
        PackingNote note;
        note.PNID = 9000 + n;
        note.NNR = QString::number(400512300 + 17 * n);
        note.CN = QString::fromUtf8(customer);
        note.SP = n % 4 == 1;
        note.PNCN = 2 + n % 3;
        doc.packingNoteList.push_back(note);
        ++n;
    }
}

class Shooter {
public:
    Shooter(CMainFrame& frame, QString prefix) : frame_(frame), prefix_(std::move(prefix)) {}
    ~Shooter() { close(); }

    KorvoView* show(int screenId) {
        close();
        frame_.currentScreen()->hide();
        shown_ = CreateScreen(screenId, frame_, frame_.clientArea());
        frame_.FillActionMenu(screenId);
        shown_->show();
        shown_->activate();
        shown_->focusFirstControl();
        frame_.inputPanel()->raise();
        return shown_;
    }
    void save(const QString& name) {
        QApplication::processEvents();
        frame_.grab().save(prefix_ + name + QStringLiteral(".png"), "PNG");
        names << name;
    }
    void keyboard(bool up) {
        frame_.inputPanel()->raisePanel(up);
        if (shown_ != nullptr) {
            shown_->settingChanged();
        }
    }
    void close() {
        if (shown_ != nullptr) {
            keyboard(false);
            delete shown_;
            shown_ = nullptr;
            frame_.currentScreen()->show();
        }
    }

    QStringList names;

private:
    CMainFrame& frame_;
    QString prefix_;
    KorvoView* shown_ = nullptr;
};

} // namespace

QStringList SaveEntryScreens(CMainFrame& frame, CKorvoDoc& doc, const QString& language,
                             const QString& prefix) {
    QLocale::setDefault(localeFor(language));
    // A Wednesday, so that the pictures stay the same from one run to the next.
    ScopedClock clock(QDateTime(QDate(2025, 3, 12), QTime(7, 30)));
    fillWorkState(doc);
    doc.operatingMode = kRouteMode;
    doc.viewBy = QStringLiteral("DELIVERY");
    Shooter shoot(frame, prefix);

    KorvoView* screen = shoot.show(kDepartmentScreen);
    if (auto* number = screen->findChild<QLineEdit*>(QStringLiteral("employeeNumber"))) {
        number->setText(QStringLiteral("1047"));
    }
    shoot.save(QStringLiteral("department"));

    shoot.show(kDayScreen);
    shoot.save(QStringLiteral("day"));

    shoot.show(kRouteScreen);
    shoot.save(QStringLiteral("route"));

    screen = shoot.show(kScanPnOrContainerScreen);
    shoot.save(QStringLiteral("scan-route"));
    shoot.keyboard(true);
    if (auto* note = screen->findChild<QLineEdit*>(QStringLiteral("noteNumber"))) {
        note->setText(QStringLiteral("400512317"));
    }
    shoot.save(QStringLiteral("scan-route-keypad"));
    shoot.keyboard(false);

    doc.shownList = NoteListKind::New;
    shoot.show(kPackingNotesScreen);
    shoot.save(QStringLiteral("list-new"));
    doc.shownList = NoteListKind::Done;
    shoot.show(kPackingNotesScreen);
    shoot.save(QStringLiteral("list-done"));

    doc.operatingMode = kPackingNoteMode;
    screen = shoot.show(kScanPackingNoteScreen);
    if (auto* note = screen->findChild<QLineEdit*>(QStringLiteral("noteNumber"))) {
        note->setText(QStringLiteral("400512334"));
    }
    shoot.save(QStringLiteral("scan-note"));
    shoot.close();
    doc.operatingMode = kRouteMode;
    QLocale::setDefault(QLocale::system());
    return shoot.names;
}

// The route's scan screen: counters, fields by the plant's settings, the four
// ways to a note and when Save opens it.
#include "screen_fixture.h"
#include "screens/scan_pn_or_container_view.h"
#include "widgets/image_button.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

using Message = RecordingBackOffice::Message;
using Exchange = RecordingBackOffice::Exchange;

class ScanRouteView : public ScreenFixture {
protected:
    ScanRouteView() {
        doc.operatingMode = kRouteMode;
        Settings s;
        s.ACS = true;
        s.containerRanges = {{8, "10000000", "19999999"}};
        doc.currentSettings = s;
        doc.currentRoute = RouteControl{501, 12, "Harbour run", 1, 3, 27};
        // Every note and container the back office is asked for exists.
        office.on(Message::PackingNote, [](CKorvoDoc& d, const Exchange& e) {
            PackingNote note;
            note.PNID = e.action == 2 ? 880 : 770;
            note.NNR = e.action == 2 ? "400880" : e.input;
            note.SC = e.action == 2 ? "10" : "20"; // Scan next's note was new
            if (e.action != 0) {
                d.currentPackingNote = note;
            }
        });
        office.on(Message::PackingNoteContainer, [](CKorvoDoc& d, const Exchange&) {
            PackingNote note;
            note.PNID = 990;
            d.currentPackingNote = note;
        });
    }
    QLineEdit* note() { return child<QLineEdit>("noteNumber"); }
    QLineEdit* container() { return child<QLineEdit>("containerId"); }
    QString text(const char* label) { return child<QLabel>(label)->text(); }
    bool enabled(const char* button) { return child<CImageButton>(button)->isEnabled(); }
    bool saveOn() {
        EXPECT_EQ(enabled("save"), frame.actionEnabled(kScanPnOrContainerScreen, 0));
        return enabled("save");
    }
    void scan(QLineEdit* field, const QString& text) {
        field->setFocus();
        typeText(text);
        press(Qt::Key_Return);
    }
};

TEST_F(ScanRouteView, RouteCountersAndButtons) {
    doc.currentPackingNote = PackingNote{};
    CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
    EXPECT_FALSE(doc.currentPackingNote) << "every visit starts without a note";
    EXPECT_EQ(view->titleLabel()->text(), "Route 12 Harbour run");
    EXPECT_EQ(text("noteCaption"), "Packing note");
    EXPECT_EQ(text("containerCaption"), "Container");
    EXPECT_EQ(text("newCount"), "1");
    EXPECT_EQ(text("newCaption"), "New");
    EXPECT_EQ(text("inProgressCount"), "3");
    EXPECT_EQ(text("doneCount"), "27");
    EXPECT_EQ(child<CImageButton>("scanNext")->accessibleName(), "Next");
    EXPECT_EQ(child<CImageButton>("doneList")->accessibleName(), "List");
    EXPECT_TRUE(enabled("scanNext"));
    EXPECT_TRUE(enabled("newList"));
    EXPECT_TRUE(enabled("inProgressList"));
    EXPECT_TRUE(enabled("doneList"));
    EXPECT_FALSE(saveOn());
    EXPECT_EQ(view->runOperation(ScreenOperation::PackingNoteCall), Result::NotOk)
        << "nothing found yet: nothing to open";
    EXPECT_TRUE(office.exchanges.isEmpty());

    child<CImageButton>("newList")->click();
    child<CImageButton>("inProgressList")->click();
    child<CImageButton>("doneList")->click();
    child<CImageButton>("back")->click();
    EXPECT_EQ(frame.commands, (std::vector<int>{Cmd::NewList, Cmd::InProgressList, Cmd::DoneList,
                                                Cmd::ScanRouteBack}));
}

TEST_F(ScanRouteView, HugeCountersAndLongTextsStayOnTheScreen) {
    doc.currentRoute =
        RouteControl{1, 7, "<b>Coast</b> " + QString(1000, 'x'), 2147483647, -2147483647 - 1, 0};
    CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
    EXPECT_TRUE(view->titleLabel()->text().startsWith("Route 7 <b>Coast</b> xxx"));
    EXPECT_EQ(view->titleLabel()->textFormat(), Qt::PlainText);
    for (const char* name : {"newCount", "inProgressCount"}) {
        auto* count = child<QLabel>(name);
        EXPECT_LE(count->fontMetrics().horizontalAdvance(count->text()), count->width()) << name;
    }
    EXPECT_EQ(text("inProgressCount"), "-2147483648");
    EXPECT_FALSE(enabled("doneList"));
}

TEST_F(ScanRouteView, TheRaisedKeypadCoversNoHalfRow) {
    CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
    // What the frame leaves of the screen while the keypad is up.
    view->resize(242, 190);
    for (const char* name : {"noteNumber", "containerId", "inProgressList"}) {
        auto* w = child<QWidget>(name);
        EXPECT_TRUE(w->isVisible()) << name;
        EXPECT_LE(w->geometry().bottom(), 188) << name;
    }
    EXPECT_FALSE(child<QWidget>("doneList")->isVisible());
    EXPECT_FALSE(child<QLabel>("doneCount")->isVisible());
    view->resize(242, 320);
    EXPECT_TRUE(child<QWidget>("doneList")->isVisible());
}

TEST_F(ScanRouteView, FieldsByThePlantsSettings) {
    struct Case {
        bool acs;
        int spn;
        bool note;
        bool container;
        const char* focus; // "" for none
    };
    // The model's table covers every row; these check the wiring of each kind.
    const Case cases[] = {
        {true, 1, true, true, "containerId"},
        {true, 2, false, true, "containerId"},
        {false, 0, true, false, "noteNumber"},
        {false, 2, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "ACS " << c.acs << " SPN " << c.spn);
        doc.currentSettings->ACS = c.acs;
        doc.currentSettings->SPN = static_cast<std::int16_t>(c.spn);
        CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
        auto* noteField = view->findChild<QLineEdit*>("noteNumber");
        auto* containerField = view->findChild<QLineEdit*>("containerId");
        EXPECT_EQ(noteField->isVisible(), c.note);
        EXPECT_EQ(view->findChild<QLabel*>("noteCaption")->isVisible(), c.note);
        EXPECT_EQ(containerField->isVisible(), c.container);
        EXPECT_EQ(view->findChild<QLabel*>("containerCaption")->isVisible(), c.container);
        const QWidget* f = focused();
        EXPECT_EQ(f ? f->objectName() : QString(), QLatin1String(c.focus));
        if (!c.note && !c.container) {
            EXPECT_EQ(f, view) << "no button takes an Enter meant for the screen";
            press(Qt::Key_Return);
            EXPECT_TRUE(office.exchanges.isEmpty());
        }
        delete view;
    }
}

TEST_F(ScanRouteView, ANoteByItsNumberOpensAtOnce) {
    CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
    scan(note(), "4005123");
    ASSERT_EQ(office.exchanges.size(), 1);
    EXPECT_EQ(office.exchanges[0].action, 1);
    EXPECT_EQ(office.exchanges[0].input, "4005123");
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::ScanRouteSave});
    EXPECT_TRUE(saveOn());
    EXPECT_EQ(view->runOperation(ScreenOperation::PackingNoteCall), Result::Ok);
    EXPECT_EQ(office.exchanges.last(), Exchange(Message::PackingNote, 0));
}

TEST_F(ScanRouteView, AnUnknownNumberStaysSelected) {
    office.fail(Message::PackingNote, "unknown note");
    open<CScanPnOrContainerView>();
    scan(note(), "4005123");
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_FALSE(saveOn());
    EXPECT_EQ(note()->selectedText(), "4005123");
    EXPECT_EQ(focused(), note());
}

TEST_F(ScanRouteView, ANoteOfAnotherRouteMovesTheWorkerOrNot) {
    const struct {
        const char* name;
        int rule;   // the plant's AORD
        int answer; // to the question: 1 Yes, 2 No; 0 none expected
        QString title;
        bool save;
    } rows[] = {
        {"asked, Yes", 2, 1, "Route 40 Kellsford", true},
        {"asked, No: the note does not count", 2, 2, "Route 12 Harbour run", false},
        {"taken over without a question", 1, 0, "Route 40 Kellsford", true},
        {"kept without a question", 0, 0, "Route 12 Harbour run", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        doc.currentSettings->AORD = static_cast<std::int16_t>(row.rule);
        doc.currentRoute = RouteControl{501, 12, "Harbour run", 1, 3, 27};
        doc.routeCountsCurrent = true;
        office.on(Message::PackingNote, [](CKorvoDoc& d, const Exchange&) {
            d.currentPackingNote = PackingNote{};
            d.currentPackingNote->routeChange =
                RouteChange{"12-03-2025", 777, 40, "Kellsford", 0, 9, 2};
        });
        prompter.shown.clear();
        if (row.answer != 0) {
            prompter.dialogAnswers.push_back(row.answer);
        }
        frame.commands.clear();
        CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
        scan(note(), "4005123");
        EXPECT_EQ(prompter.count(ScriptedPrompter::Kind::Question), row.answer != 0 ? 1 : 0);
        EXPECT_EQ(view->titleLabel()->text(), row.title);
        EXPECT_EQ(saveOn(), row.save);
        EXPECT_EQ(frame.commands.size(), 1u);
        delete view; // the next row's fields are its own screen's
    }
}

TEST_F(ScanRouteView, ContainerRangesDecideBeforeTheBackOffice) {
    struct Case {
        const char* name;
        std::vector<ContainerIDCodeRange> ranges;
        QString label;
        QString message; // "" when sent
    };
    const Case cases[] = {
        {"in range", {{8, "10000000", "19999999"}}, "15000000", ""},
        {"out of range",
         {{8, "10000000", "19999999"}},
         "25000000",
         "This container label is not in the allowed ranges."},
        {"longer than every range",
         {{8, "10000000", "19999999"}},
         "150000001",
         "This container label is not in the allowed ranges."},
        {"no ranges", {}, "15000000", "No container ranges are set up for this plant."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        office.exchanges.clear();
        frame.commands.clear();
        prompter.clear();
        doc.currentSettings->containerRanges = c.ranges;
        CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
        scan(view->findChild<QLineEdit*>("containerId"), c.label);
        if (c.message.isEmpty()) {
            ASSERT_EQ(office.exchanges.size(), 1);
            EXPECT_EQ(office.exchanges[0].message, Message::PackingNoteContainer);
            EXPECT_EQ(office.exchanges[0].input, c.label);
            EXPECT_EQ(frame.commands, std::vector<int>{Cmd::ScanRouteSave});
            EXPECT_TRUE(view->findChild<CImageButton*>("save")->isEnabled());
        } else {
            EXPECT_TRUE(office.exchanges.isEmpty());
            EXPECT_EQ(prompter.messageTexts(), QStringList{c.message});
            EXPECT_EQ(prompter.shown[0].caption, "Scan container");
            EXPECT_EQ(focused()->objectName(), "containerId");
        }
        delete view;
    }
}

TEST_F(ScanRouteView, ARefusedContainerLeavesNothingToOpen) {
    office.fail(Message::PackingNoteContainer, "unknown container");
    open<CScanPnOrContainerView>();
    scan(container(), "15000000");
    EXPECT_TRUE(frame.commands.empty());
    EXPECT_FALSE(saveOn());
    EXPECT_EQ(container()->selectedText(), "15000000");
}

TEST_F(ScanRouteView, WithoutSettingsTheContainerIsSentUnchecked) {
    doc.currentSettings.reset();
    doc.currentRoute.reset();
    CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
    EXPECT_EQ(view->titleLabel()->text(), "Route");
    EXPECT_EQ(text("newCount"), "0");
    EXPECT_FALSE(enabled("scanNext"));
    EXPECT_TRUE(note()->isVisible());
    EXPECT_FALSE(container()->isVisible());
    // Shown again only to reach the check.
    container()->show();
    scan(container(), "ABC");
    EXPECT_EQ(office.messages(), QList<Message>{Message::PackingNoteContainer});
}

TEST_F(ScanRouteView, ScanNextTakesTheNextNewNote) {
    CScanPnOrContainerView* view = open<CScanPnOrContainerView>();
    child<CImageButton>("scanNext")->click();
    ASSERT_EQ(office.exchanges.size(), 1);
    EXPECT_EQ(office.exchanges[0].action, 2);
    EXPECT_EQ(note()->text(), "400880");
    EXPECT_EQ(text("newCount"), "0");
    EXPECT_EQ(text("inProgressCount"), "4");
    EXPECT_EQ(doc.currentRoute->QN, 0);
    EXPECT_FALSE(enabled("scanNext")) << "the last new note is taken";
    EXPECT_FALSE(enabled("newList"));
    EXPECT_TRUE(saveOn());
    EXPECT_TRUE(frame.commands.empty()) << "Scan next only finds the note";
    EXPECT_EQ(view->runOperation(ScreenOperation::PackingNoteCall), Result::Ok);
    EXPECT_EQ(doc.currentPackingNote->PNID, 880);
}

TEST_F(ScanRouteView, ScanNextThatFailsChangesNothing) {
    office.fail(Message::PackingNote, "no new notes");
    open<CScanPnOrContainerView>();
    child<CImageButton>("scanNext")->click();
    EXPECT_EQ(text("newCount"), "1");
    EXPECT_TRUE(note()->text().isEmpty());
    EXPECT_FALSE(saveOn());
}

TEST_F(ScanRouteView, OneFieldAtATime) {
    open<CScanPnOrContainerView>();
    note()->setFocus();
    typeText("4711");
    container()->setFocus();
    EXPECT_TRUE(note()->text().isEmpty());
    typeText("AB12");
    note()->setFocus();
    EXPECT_TRUE(container()->text().isEmpty());
}

TEST_F(ScanRouteView, KeysAndBursts) {
    open<CScanPnOrContainerView>();
    container()->setFocus();
    typeText("ABCDEFGHIJKLMNOPQRSTUVWX-ABCDEFGH");
    EXPECT_EQ(container()->text(), "ABCDEFGHIJKLMNOPQRSTUVWX");
    QTest::qWait(400); // the message waits for the keys to pause
    EXPECT_EQ(prompter.messageTexts(), QStringList{"A container label has at most 24 characters."});
    press(Qt::Key_Left);
    press(Qt::Key_Right);
    EXPECT_EQ(container()->cursorPosition(), 24) << "the arrows are swallowed";
    EXPECT_TRUE(frame.commands.empty());
    container()->clear();
    press(Qt::Key_Return);
    EXPECT_TRUE(office.exchanges.isEmpty()) << "Enter on an empty field does nothing";
    // Enter on a focused list button presses it.
    child<CImageButton>("doneList")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::DoneList});
}

} // namespace

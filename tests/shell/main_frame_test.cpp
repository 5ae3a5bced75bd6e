#include "frame_fixture.h"
#include "model/korvo_doc.h"
#include "shell/about_dialog.h"
#include "shell/korvo_app.h"
#include "shell/main_frame.h"
#include "shell/qt_prompter.h"
#include "shell/screens.h"
#include "widgets/colour_widgets.h"
#include "widgets/control_ids.h"
#include "widgets/input_panel.h"
#include "widgets/korvo_view.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

// A frame that records the commands navigation would run.
class RecordingFrame : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    std::vector<int> commands; // not QList: == on two empty QLists trips UBSan in Qt 6.4

protected:
    int executeCommand(int command) override {
        commands.push_back(command);
        return kNoScreen;
    }
};

struct Item {
    QString text;
    int command; // 0 for a separator
    bool enabled = true;
    friend bool operator==(const Item&, const Item&) = default;
};

QList<Item> items(QMenu* menu) {
    QList<Item> out;
    for (QAction* a : menu->actions()) {
        out << Item{a->isSeparator() ? QString() : a->text(),
                    a->isSeparator() ? 0 : a->data().toInt(), a->isEnabled()};
    }
    return out;
}

std::ostream& operator<<(std::ostream& os, const Item& i) {
    return os << "{" << i.text.toStdString() << ", " << i.command << ", " << i.enabled << "}";
}

// A started program whose frame records the commands instead of navigating.
class StartedFrame : public FrameFixture<RecordingFrame> {
protected:
    void SetUp() override { start(); }

    // A second program on the same device, as after a restart.
    void restart(RecordingFrame& other) {
        other.setScreenFactory(ProgramScreens());
        other.showFirstScreen(kStartScreen);
        other.FillActionMenu(kStartScreen);
    }
};

} // namespace

TEST_F(StartedFrame, MenuBarCarriesTranslatedCaptionsAndCommands) {
    EXPECT_EQ(frame.menuButton(CMainFrame::AppMenu)->text(), "Menu");
    EXPECT_EQ(frame.menuButton(CMainFrame::ActionsMenu)->text(), "Actions");
    EXPECT_EQ(frame.menuButton(CMainFrame::HelpMenu)->text(), "Help");
    EXPECT_EQ(items(frame.menu(CMainFrame::AppMenu)),
              (QList<Item>{{"Back", Cmd::Back}, {"", 0}, {"Exit", Cmd::Exit}}));
    EXPECT_EQ(items(frame.menu(CMainFrame::HelpMenu)),
              (QList<Item>{{"About Korvane", Cmd::About}}));
    // The placeholder is gone; the start screen's two entries stay at start-up.
    EXPECT_EQ(items(frame.menu(CMainFrame::ActionsMenu)),
              (QList<Item>{{"Start", Cmd::Start}, {"Settings", Cmd::Settings}}));
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
}

TEST_F(StartedFrame, CaptionsFollowTheConfiguredLanguage) {
    CKorvoDoc german;
    device.write("\\Program Files\\Korvo\\Korvo.properties", "Language=Deutsch\n");
    RecordingFrame other(german, QSize(240, 320));
    restart(other);
    EXPECT_EQ(other.menuButton(CMainFrame::AppMenu)->text(), QString::fromUtf8("Men\xC3\xBC"));
    EXPECT_EQ(items(other.menu(CMainFrame::AppMenu)).first().text, QString::fromUtf8("Zur\xC3\xBC"
                                                                                     "ck"));
    EXPECT_EQ(items(other.menu(CMainFrame::ActionsMenu)).last().text, "Einstellungen");
}

// Blank captions would leave the worker with an unusable screen: a language
// without a file speaks the shipped English instead.
TEST_F(StartedFrame, MissingTranslationFileFallsBackToShippedEnglish) {
    CKorvoDoc doc2;
    device.write("\\Program Files\\Korvo\\Korvo.properties", "Language=Klingon\n");
    RecordingFrame other(doc2, QSize(240, 320));
    restart(other);
    EXPECT_EQ(other.menuButton(CMainFrame::AppMenu)->text(), "Menu");
    EXPECT_EQ(other.currentScreen()->findChild<QLabel*>("title")->text(), "Korvane packing");
    EXPECT_EQ(doc2.language, "Klingon") << "the setting itself stays";
}

TEST_F(StartedFrame, KeyTable) {
    struct Case {
        const char* name;
        Qt::Key key;
        std::vector<int> commands;
    };
    const Case cases[] = {
        {"Enter is forward: Start", Qt::Key_Return, {Cmd::Start}},
        {"keypad Enter too", Qt::Key_Enter, {Cmd::Start}},
        {"Escape is back: nothing on the start screen", Qt::Key_Escape, {}},
        {"Left is back", Qt::Key_Left, {}},
        {"Right is forward", Qt::Key_Right, {Cmd::Start}},
        {"Up is not used", Qt::Key_Up, {}},
        {"Down is not used", Qt::Key_Down, {}},
        {"letters are not used", Qt::Key_A, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame.commands.clear();
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(&frame, &press);
        EXPECT_EQ(frame.commands, c.commands);
        const bool frameUses = c.key == Qt::Key_Return || c.key == Qt::Key_Enter ||
                               c.key == Qt::Key_Escape || c.key == Qt::Key_Left ||
                               c.key == Qt::Key_Right;
        EXPECT_EQ(press.isAccepted(), frameUses);
    }
}

TEST_F(StartedFrame, SoftKeysOpenTheMenuBarButtons) {
    const CMainFrame::MenuButton buttons[] = {CMainFrame::AppMenu, CMainFrame::ActionsMenu,
                                              CMainFrame::HelpMenu};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        QWidget* opened = nullptr;
        QTimer::singleShot(0, [&] {
            opened = QApplication::activePopupWidget();
            if (opened != nullptr) {
                opened->close();
            }
        });
        QTest::keyClick(&frame, static_cast<Qt::Key>(Qt::Key_F1 + i));
        EXPECT_EQ(opened, frame.menu(buttons[i]));
    }
    // F2, Down, Enter: the first Actions entry, as with a keypad.
    QTimer::singleShot(0, [] {
        QWidget* menu = QApplication::activePopupWidget();
        ASSERT_NE(menu, nullptr);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::keyClick(&frame, Qt::Key_F2);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::Start});
}

TEST_F(StartedFrame, BackIsDisabledOnTheStartScreen) {
    frame.updateMenuStates();
    EXPECT_FALSE(frame.menu(CMainFrame::AppMenu)->actions().first()->isEnabled());
    frame.OnCommand(Cmd::Back);
    EXPECT_TRUE(frame.commands.empty());
    frame.OnCommand(Cmd::Settings);
    EXPECT_EQ(frame.commands, std::vector<int>{Cmd::Settings});
}

TEST_F(StartedFrame, SetActionEnabledGraysTheEntryAndTheButton) {
    QPushButton button;
    frame.SetActionEnabled(false, &button, kStartScreen, 1);
    EXPECT_FALSE(button.isEnabled());
    EXPECT_FALSE(doc.actionMenus.row(kStartScreen)[1].enabled);
    frame.updateMenuStates();
    EXPECT_FALSE(frame.menu(CMainFrame::ActionsMenu)->actions().at(1)->isEnabled());
    frame.SetActionEnabled(true, nullptr, kStartScreen, 1);
    frame.updateMenuStates();
    EXPECT_TRUE(frame.menu(CMainFrame::ActionsMenu)->actions().at(1)->isEnabled());
    frame.SetActionEnabled(false, nullptr, kStartScreen, 7); // no such entry: ignored
}

TEST_F(StartedFrame, FillActionMenuReplacesThePreviousRow) {
    frame.FillActionMenu(kDeliveredProdScreen);
    QStringList texts;
    for (const Item& i : items(frame.menu(CMainFrame::ActionsMenu))) {
        texts << i.text;
    }
    EXPECT_EQ(texts, QStringList({"Print", "Process", "Back", "Hold", "Out-scan pool", "Count"}));
    doc.actionMenus.row(kStartScreen)[0].enabled = false;
    frame.FillActionMenu(kStartScreen);
    EXPECT_EQ(items(frame.menu(CMainFrame::ActionsMenu)),
              (QList<Item>{{"Start", Cmd::Start, false}, {"Settings", Cmd::Settings}}));
}

TEST_F(StartedFrame, LayoutScreenGeometry) {
    QWidget screen(frame.clientArea());
    auto control = [&](int id) {
        auto* w = new QLabel(&screen);
        SetControlId(w, id);
        return w;
    };
    QWidget* title = control(ControlId::Title);
    QWidget* band = control(ControlId::BottomBand);
    QWidget* status = control(ControlId::StatusLabel);
    QWidget* b1 = control(2001);
    QWidget* b2 = control(2002);
    QWidget* b3 = control(2003);
    frame.LayoutScreen(&screen, {2001, 0, 2002, 2003, 0, 0}, 0, 2);
    const int top = 320 - 26 - 73;
    EXPECT_EQ(screen.geometry(), QRect(0, 0, 240, 320));
    EXPECT_EQ(title->geometry(), QRect(0, 0, 240, 20));
    EXPECT_EQ(band->geometry(), QRect(-1, top, 243, 320));
    EXPECT_EQ(status->geometry(), QRect(-1, top + 10, 240, 38));
    EXPECT_EQ(b1->geometry(), QRect(1, top + 3, 38, 38));
    EXPECT_EQ(b2->geometry(), QRect(1 + 40, top + 3, 38, 38)) << "a missing id leaves no gap";
    EXPECT_EQ(b3->geometry(), QRect(1 + 80, top + 3, 38, 38));
    frame.LayoutScreen(&screen, {2001, 2002, 0, 0, 0, 0}, 30, 10);
    EXPECT_EQ(title->geometry().height(), 30);
    EXPECT_EQ(b2->geometry().x(), 1 + 48);
    frame.LayoutScreen(nullptr, {}, 0, 0); // harmless
}

TEST_F(StartedFrame, InputPanelResizesTheScreen) {
    KorvoView* screen = frame.currentScreen();
    ASSERT_NE(screen, nullptr);
    frame.inputPanel()->raisePanel(true);
    EXPECT_TRUE(frame.inputPanel()->isVisible());
    // Visible area between the title strip and the keypad, plus 2.
    EXPECT_EQ(screen->size(), QSize(242, 320 - 26 - 26 - InputPanel::kHeight + 2));
    frame.inputPanel()->raisePanel(false);
    EXPECT_FALSE(frame.inputPanel()->isVisible());
    EXPECT_EQ(screen->geometry(), QRect(-1, -1, 242, 320));
}

TEST_F(StartedFrame, InputPanelTypesIntoTheFocusedField) {
    QLineEdit* edit = new QLineEdit(frame.currentScreen());
    edit->show();
    frame.activateWindow();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 1000));
    frame.inputPanel()->raisePanel(true);
    auto key = [&](const QString& text) {
        for (QToolButton* b : frame.inputPanel()->findChildren<QToolButton*>()) {
            if (b->text() == text) {
                b->click();
                return;
            }
        }
        ADD_FAILURE() << "no key " << text.toStdString();
    };
    key("4");
    key("2");
    key("A");
    frame.inputPanel()->findChild<QToolButton*>("keyBackspace")->click();
    frame.inputPanel()->findChild<QToolButton*>("keyCase")->click();
    key("b");
    EXPECT_EQ(edit->text(), "42b");
    EXPECT_TRUE(edit->hasFocus()) << "the keypad never takes the focus";
}

TEST_F(StartedFrame, KeypadFloatsOverAModalDialog) {
    QtPrompter qt(&frame);
    ScopedPrompter useQt(qt);
    QDialog dialog(&frame);
    auto* edit = new QLineEdit(&dialog);
    dialog.setModal(true);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    InputPanel* panel = frame.inputPanel();
    qt.setInputPanel(true);
    ASSERT_TRUE(panel->isWindow()) << "a window of the dialog, so the dialog does not block it";
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->windowHandle()->transientParent(), dialog.windowHandle());
    for (QToolButton* b : panel->findChildren<QToolButton*>()) {
        if (b->text() == "7") {
            b->click();
        }
    }
    EXPECT_EQ(edit->text(), "7");
    qt.setInputPanel(false);
    EXPECT_FALSE(panel->isWindow());
    EXPECT_EQ(panel->parentWidget(), frame.clientArea());
    EXPECT_FALSE(panel->isVisible());
    dialog.hide();
    qt.setInputPanel(true);
    EXPECT_FALSE(panel->isWindow()) << "without a dialog it rises inside the frame";
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(StartedFrame, MessageBoxShowsTheBackOfficesTextAsItCame) {
    // As markup, an image reference in an answer's message would be read from
    // the disk (from /dev/zero until memory runs out).
    QtPrompter qt(&frame);
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&format] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = box->textFormat();
            box->button(QMessageBox::Ok)->click();
        }
    });
    EXPECT_EQ(qt.messageBox(
                  {"Korvane", "<b>E17</b> note locked", MessageIcon::Error, MessageButtons::Ok}),
              IdOk);
    EXPECT_EQ(format, Qt::PlainText);
}

TEST(AboutBox, ShowsTitleVersionCaptionAndVersion) {
    CAboutDlg about("Korvane", "Version");
    EXPECT_EQ(about.windowTitle(), "About Korvane");
    EXPECT_EQ(about.productTitleLabel()->text(), "Korvane");
    EXPECT_EQ(about.versionCaptionLabel()->text(), "Version");
    EXPECT_EQ(about.versionValueLabel()->text(), "1.35");
}

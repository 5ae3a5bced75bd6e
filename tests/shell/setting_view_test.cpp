#include "frame_fixture.h"
#include "recording_back_office.h"
#include "screens/setting_view.h"
#include "widgets/image_button.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const QString kSettingsFile = "\\Program Files\\Korvo\\Korvo.properties";

class SettingViewTest : public FrameFixture<> {
protected:
    void SetUp() override {
        device.mkdir("\\Storage Card");
        device.mkdir("\\CF Card");
        office.on(RecordingBackOffice::Message::Settings, [this](CKorvoDoc& d, const auto& e) {
            calls << Call{e.interactive, e.path, d.pendingHostIp, d.pendingPortNumber,
                          d.settingsTestActive};
        });
        frame.setBackOffice(office);
        start("Storagelocation=\\\nLanguage=English\nShowScreenKeyboard=N\n"
              "PlantCode=P1\nPDA=D1\nHostIP=host\nPortNumber=8080\nWarPath=\n"
              "ViewBy=DELIVERY\nOperatingMode=ROUTEMODE\n");
    }

    CSettingView* open() {
        prompter.passwords = {"639"};
        frame.SwitchScreen(Cmd::Settings);
        return qobject_cast<CSettingView*>(frame.currentScreen());
    }

    template <typename T> T* field(const char* name) {
        T* w = frame.currentScreen()->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    bool okEnabled() {
        return field<CImageButton>("ok")->isEnabled() &&
               doc.actionMenus.row(kSettingScreen)[0].enabled;
    }

    // What the settings request carried.
    struct Call {
        bool interactive;
        QString path;
        QString pendingHost;
        QString pendingPort;
        bool testActive;
    };

    SettingViewTest() : FrameFixture({"Storage Card", "CF Card"}) {}

    RecordingBackOffice office{doc};
    QList<Call> calls;
};

} // namespace

TEST_F(SettingViewTest, PasswordRetriesAndCancel) {
    prompter.passwords = {"123", "6390", "639"};
    frame.SwitchScreen(Cmd::Settings);
    EXPECT_EQ(frame.currentScreenId(), kSettingScreen);
    EXPECT_EQ(prompter.messageTexts(), QStringList({"Wrong password. \nPlease try again.",
                                                    "Wrong password. \nPlease try again."}));
    EXPECT_EQ(prompter.shown.last().caption, "Password");

    frame.SwitchScreen(Cmd::SettingsCancel);
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
    prompter.passwords = {};
    frame.SwitchScreen(Cmd::Settings);
    EXPECT_EQ(frame.currentScreenId(), kStartScreen)
        << "a cancelled password keeps the start screen";
}

TEST_F(SettingViewTest, ShowsTheSettings) {
    ASSERT_NE(open(), nullptr);
    auto* tabs = field<QTabWidget>("tabs");
    EXPECT_EQ(tabs->tabText(0), "User");
    EXPECT_EQ(tabs->tabText(1), "System");
    auto* language = field<QComboBox>("language");
    QStringList languages;
    for (int i = 0; i < language->count(); ++i) {
        languages << language->itemText(i);
    }
    EXPECT_EQ(languages, QStringList({"Deutsch", "English", "Nederlands"}));
    EXPECT_EQ(language->currentText(), "English");
    EXPECT_FALSE(field<QCheckBox>("keyboard")->isChecked());
    EXPECT_TRUE(field<QRadioButton>("delivery")->isChecked());
    EXPECT_TRUE(field<QRadioButton>("routeMode")->isChecked());
    EXPECT_EQ(field<QLineEdit>("port")->text(), "8080");
    EXPECT_TRUE(field<QRadioButton>("standardPath")->isChecked());
    EXPECT_FALSE(field<QLineEdit>("path")->isEnabled());
    auto* storage = field<QComboBox>("storage");
    QStringList places;
    for (int i = 0; i < storage->count(); ++i) {
        places << storage->itemText(i);
    }
    EXPECT_EQ(places, QStringList({"Main memory", "CF Card", "Storage Card"}));
    EXPECT_EQ(storage->currentIndex(), 0);
    QStringList actions;
    for (QAction* a : frame.menu(CMainFrame::ActionsMenu)->actions()) {
        actions << a->text();
    }
    EXPECT_EQ(actions, QStringList({"OK", "Cancel"}));
}

TEST_F(SettingViewTest, AnUnknownModeShowsAsThePackingNoteModeItRunsIn) {
    doc.operatingMode = "SOMETHING";
    ASSERT_NE(open(), nullptr);
    EXPECT_TRUE(field<QRadioButton>("packingNoteMode")->isChecked());
    EXPECT_FALSE(field<QRadioButton>("routeMode")->isChecked());
}

TEST_F(SettingViewTest, OkWaitsForAChangeAndNeedsTheRequiredFields) {
    ASSERT_NE(open(), nullptr);
    EXPECT_FALSE(okEnabled()) << "OK is off until something changes";
    EXPECT_TRUE(field<CImageButton>("cancel")->isEnabled());
    EXPECT_TRUE(field<CImageButton>("test")->isEnabled());

    struct Case {
        const char* field;
        QString text;
        bool complete;
    };
    const Case cases[] = {
        {"host", "", false},      {"host", "h2", true},   {"plantCode", "", false},
        {"plantCode", "X", true}, {"pdaCode", "", false}, {"pdaCode", "Y", true},
        {"port", "0", false},     {"port", "", false},    {"port", "81", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + "=" + c.text.toStdString());
        field<QLineEdit>(c.field)->setText(c.text);
        EXPECT_EQ(okEnabled(), c.complete);
        EXPECT_EQ(field<CImageButton>("test")->isEnabled(), c.complete);
    }
}

TEST_F(SettingViewTest, PortOutOfRangeIsRefused) {
    ASSERT_NE(open(), nullptr);
    auto* port = field<QLineEdit>("port");
    port->clear();
    QTest::keyClicks(port, "70000");
    EXPECT_EQ(port->text(), "7000");
    EXPECT_EQ(prompter.messageTexts(), QStringList{"Enter a port number from 0 to 65535."});
    QTest::keyClicks(port, "a");
    EXPECT_EQ(port->text(), "7000") << "digits only";
}

TEST_F(SettingViewTest, OkSavesTheFileAndReturns) {
    ASSERT_NE(open(), nullptr);
    field<QComboBox>("language")->setCurrentText("Deutsch");
    field<QCheckBox>("keyboard")->setChecked(true);
    field<QRadioButton>("production")->setChecked(true);
    field<QRadioButton>("packingNoteMode")->setChecked(true);
    field<QLineEdit>("plantCode")->setText("NL&01");
    field<QLineEdit>("port")->setText("0081");
    field<QRadioButton>("customPath")->click();
    field<QLineEdit>("path")->setText("myws");
    ASSERT_TRUE(okEnabled());
    field<CImageButton>("ok")->click();
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
    EXPECT_EQ(
        device.read(kSettingsFile),
        QByteArray("Storagelocation=\\\nLanguage=Deutsch\nShowScreenKeyboard=Y\nPlantCode=NL&01\n"
                   "PDA=D1\nHostIP=host\nPortNumber=81\nWarPath=myws\nViewBy=PRODUCTION\n"
                   "OperatingMode=PACKINGNOTEMODE\n"));
    EXPECT_TRUE(doc.languageChanged);
    EXPECT_EQ(doc.language, "Deutsch") << "kept in memory, not re-read from the file";
    EXPECT_EQ(frame.menuButton(CMainFrame::AppMenu)->text(), "Menu") << "the new language waits";
}

TEST_F(SettingViewTest, BackAndEnterSaveEvenWhileOkIsOff) {
    ASSERT_NE(open(), nullptr);
    device.write(kSettingsFile, "garbage");
    ASSERT_FALSE(okEnabled());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(frame.currentScreen(), &escape);
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
    EXPECT_TRUE(device.read(kSettingsFile).startsWith("Storagelocation=\\\nLanguage=English\n"));
    EXPECT_TRUE(device.read(kSettingsFile).contains("WarPath=qvrgenericwebservice\n"))
        << "an empty path is saved as the standard path";
    EXPECT_FALSE(doc.languageChanged);
}

TEST_F(SettingViewTest, StorageChoiceMovesTheData) {
    device.write("\\Korvo_XML\\SettingsResponse.xml", "<x/>");
    ASSERT_NE(open(), nullptr);
    field<QComboBox>("storage")->setCurrentText("Storage Card");
    frame.SwitchScreen(Cmd::SettingsOk);
    EXPECT_TRUE(device.read(kSettingsFile).startsWith("Storagelocation=Storage Card\n"));
    EXPECT_TRUE(device.exists("\\Storage Card\\Korvo_XML\\SettingsResponse.xml"));
    EXPECT_FALSE(device.exists("\\Korvo_XML\\SettingsResponse.xml"));
    EXPECT_EQ(doc.storageLocation, "Storage Card");

    // Back on main memory: the item text is not a card, so it saves as a backslash.
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(field<QComboBox>("storage")->currentText(), "Storage Card");
    field<QComboBox>("storage")->setCurrentIndex(0);
    frame.SwitchScreen(Cmd::SettingsOk);
    EXPECT_TRUE(device.read(kSettingsFile).startsWith("Storagelocation=\\\n"));
    EXPECT_TRUE(device.exists("\\Korvo_XML\\SettingsResponse.xml"));
}

TEST_F(SettingViewTest, PathRadios) {
    doc.webServicePath = "custom";
    ASSERT_NE(open(), nullptr);
    field<QTabWidget>("tabs")->setCurrentIndex(1);
    EXPECT_TRUE(field<QRadioButton>("customPath")->isChecked());
    EXPECT_EQ(field<QLineEdit>("path")->text(), "custom");
    field<QRadioButton>("customPath")->click();
    EXPECT_EQ(field<QLineEdit>("path")->text(), "custom")
        << "a custom path survives a second click";
    field<QRadioButton>("standardPath")->click();
    EXPECT_EQ(field<QLineEdit>("path")->text(), "");
    EXPECT_FALSE(field<QLineEdit>("path")->isEnabled());
    field<QRadioButton>("customPath")->click();
    EXPECT_TRUE(field<QLineEdit>("path")->isEnabled());
}

TEST_F(SettingViewTest, RadioChoicesSurviveTabSwitches) {
    ASSERT_NE(open(), nullptr);
    field<QRadioButton>("production")->click();
    field<QTabWidget>("tabs")->setCurrentIndex(1);
    field<QTabWidget>("tabs")->setCurrentIndex(0);
    EXPECT_TRUE(field<QRadioButton>("production")->isChecked());
}

TEST_F(SettingViewTest, TestDownloadUsesTheTypedValues) {
    ASSERT_NE(open(), nullptr);
    field<QLineEdit>("host")->setText("other");
    field<QLineEdit>("port")->setText("9090");
    field<QRadioButton>("customPath")->click();
    field<QLineEdit>("path")->setText("p2");
    field<CImageButton>("test")->click();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_TRUE(calls[0].interactive);
    EXPECT_TRUE(calls[0].testActive);
    EXPECT_EQ(calls[0].path, "p2");
    EXPECT_EQ(calls[0].pendingHost, "other");
    EXPECT_EQ(calls[0].pendingPort, "9090");
    EXPECT_TRUE(doc.settingsTestOk);
    EXPECT_FALSE(doc.settingsTestActive);
    EXPECT_EQ(frame.currentScreenId(), kSettingScreen);
    EXPECT_EQ(doc.hostIp, "host") << "nothing is saved by a test";
    office.fail(RecordingBackOffice::Message::Settings);
    field<CImageButton>("test")->click();
    EXPECT_FALSE(doc.settingsTestOk);
}

TEST_F(SettingViewTest, FieldsRaiseTheKeyboardWhenAsked) {
    ASSERT_NE(open(), nullptr);
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    field<QTabWidget>("tabs")->setCurrentIndex(1);
    field<QLineEdit>("host")->setFocus();
    EXPECT_EQ(prompter.inputPanelUps, 0);
    field<QCheckBox>("keyboard")->setChecked(true);
    field<QLineEdit>("pdaCode")->setFocus();
    EXPECT_TRUE(prompter.inputPanelUp);
    field<QCheckBox>("keyboard")->setFocus();
    EXPECT_FALSE(prompter.inputPanelUp);
}

TEST(SelectByPrefix, SearchesFromTheSecondItemAndWraps) {
    QComboBox combo;
    combo.addItems({"English", "Deutsch", "Eng2"});
    combo.setCurrentIndex(-1);
    EXPECT_EQ(SelectByPrefix(&combo, "eng"), 2);
    EXPECT_EQ(SelectByPrefix(&combo, "English"), 0);
    EXPECT_EQ(SelectByPrefix(&combo, "x"), -1);
    EXPECT_EQ(combo.currentIndex(), 0);
    QComboBox empty;
    EXPECT_EQ(SelectByPrefix(&empty, ""), -1);
}

// The program against a loopback back office: settings, test download, save and
// Start, as a supervisor and a worker would do it.
#include "frame_fixture.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "service/service_transport.h"
#include "shell/korvo_app.h"
#include "shell/main_frame.h"
#include "shell/screens.h"
#include "widgets/image_button.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

const QString kSettingsAnswer =
    "<KorvaneSettingsResponse>"
    "<Settings ACS=\"0\" AORD=\"2\" ASB=\"1\" DNC=\"1\" DNENR=\"false\" DNPP=\"1\" MDID=\"77\" "
    "OPI=\"true\" PCS=\"true\" PDID=\"3\" POF=\"1\" SPN=\"0\"/>"
    "<Plant PID=\"9\" PN=\"Fenwold Fresh\" C=\"Harwick\" ST=\"NH\" S=\"Dockside 12\" ZIP=\"4711\"/>"
    "<PlantDepartments><PlantDepartments PDIDS=\"3\" PDC=\"D3\" PDD=\"Dairy\"/></PlantDepartments>"
    "</KorvaneSettingsResponse>";

class EndToEnd : public FrameFixture<> {
protected:
    void SetUp() override { office.answer("KORVANESETTINGS", kSettingsAnswer); }

    static QByteArray serverAt(int port) {
        return "HostIP=127.0.0.1\nPortNumber=" + QByteArray::number(port) +
               "\nOperatingMode=ROUTEMODE\n";
    }

    // The handheld keeps its connection; close it before the office stops.
    void TearDown() override { ServiceTransport::instance().Disconnect(); }

    template <typename T> T* field(const char* name) {
        return frame.currentScreen()->findChild<T*>(QLatin1String(name));
    }

    LoopbackBackOffice office;
};

} // namespace

TEST_F(EndToEnd, ConfigureTestSaveAndStart) {
    start();
    prompter.passwords = {"639"};
    frame.SwitchScreen(Cmd::Settings);
    ASSERT_EQ(frame.currentScreenId(), kSettingScreen);
    field<QTabWidget>("tabs")->setCurrentIndex(1);
    field<QLineEdit>("plantCode")->setText("NL01");
    field<QLineEdit>("pdaCode")->setText("PDA7");
    field<QLineEdit>("host")->setText(office.host());
    field<QLineEdit>("port")->setText(office.portText());
    field<QTabWidget>("tabs")->setCurrentIndex(0);
    field<QRadioButton>("routeMode")->setChecked(true);

    field<CImageButton>("test")->click();
    EXPECT_TRUE(doc.settingsTestOk);
    EXPECT_EQ(prompter.messageTexts(), QStringList()) << "no error on a good test";
    const QStringList statuses = prompter.statusTexts();
    ASSERT_GE(statuses.size(), 3);
    EXPECT_EQ(statuses.first(), "Connecting to\nServer: 127.0.0.1\nPort: " + office.portText());
    EXPECT_EQ(statuses.last(), "Connection successful");
    ASSERT_EQ(office.calls().size(), 1u);
    EXPECT_TRUE(QString::fromStdString(office.calls()[0].body)
                    .contains("&lt;PlantCode xmlns=&quot;&quot;&gt;NL01"));
    EXPECT_EQ(office.calls()[0].target, "/qvrgenericwebservice/QVRGenericWebService?WSDL");
    EXPECT_TRUE(doc.hostIp.isEmpty()) << "a test saves nothing";

    field<CImageButton>("ok")->click();
    ASSERT_EQ(frame.currentScreenId(), kStartScreen);
    EXPECT_EQ(doc.hostIp, "127.0.0.1");

    office.clearRequests();
    prompter.clear();
    frame.SwitchScreen(Cmd::Start);
    EXPECT_EQ(frame.currentScreenId(), kDepartmentScreen);
    EXPECT_TRUE(prompter.statusTexts().isEmpty()) << "Start downloads quietly";
    ASSERT_EQ(office.calls().size(), 1u);
    EXPECT_EQ(doc.mobileDeviceId, 77);
    ASSERT_TRUE(doc.currentSettings && doc.currentSettings->plant);
    EXPECT_EQ(doc.currentSettings->departments.size(), 1u);

    frame.SwitchScreen(Cmd::DepartmentBack);
    EXPECT_EQ(field<QLabel>("plantName")->text(), "Fenwold Fresh");
    EXPECT_EQ(field<QLabel>("versionValue")->text(), "1.35");
    EXPECT_TRUE(device.exists("\\Korvo_XML\\Log\\SettingsREQUEST.xml"));
    EXPECT_TRUE(device.read("\\Korvo_XML\\Log\\SettingsResponse.xml").startsWith("<returnValue>"));
}

TEST_F(EndToEnd, StartWithoutAServerKeepsTheStartScreen) {
    start(serverAt(LoopbackBackOffice::refusedPort()));
    prompter.clear();
    frame.SwitchScreen(Cmd::Start);
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
    ASSERT_EQ(prompter.messageTexts().size(), 1);
    EXPECT_TRUE(prompter.messageTexts()[0].startsWith("12029: "))
        << prompter.messageTexts()[0].toStdString();
    EXPECT_EQ(prompter.shown[0].caption, "Connection error");
    EXPECT_EQ(prompter.waitDepth, 0);
}

TEST_F(EndToEnd, BusinessErrorOnStartShowsTheTranslatedCode) {
    office.businessError("KORVANESETTINGS", "PASW003", "all zero");
    start(serverAt(office.port()));
    prompter.clear();
    frame.SwitchScreen(Cmd::Start);
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
    EXPECT_EQ(prompter.messageTexts(), QStringList{"All delivered quantities are 0."});
    EXPECT_EQ(prompter.shown[0].caption, "Information");
}

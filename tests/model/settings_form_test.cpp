// The settings form without the screen: completeness, what it shows of the
// saved settings, and what saving it changes.
#include "config/device_settings.h"
#include "model/korvo_doc.h"
#include "model/settings_form.h"
#include "test_device.h"

#include <gtest/gtest.h>

namespace {

SettingsForm completeForm() {
    SettingsForm form;
    form.plantCode = "1000";
    form.pdaCode = "HH03";
    form.host = "127.0.0.1";
    form.port = 8080;
    return form;
}

TEST(SettingsForm, CompleteWithPlantHandheldHostAndPort) {
    const struct {
        const char* name;
        void (*change)(SettingsForm&);
        bool complete;
    } rows[] = {
        {"all four", [](SettingsForm&) {}, true},
        {"no plant", [](SettingsForm& f) { f.plantCode.clear(); }, false},
        {"no handheld", [](SettingsForm& f) { f.pdaCode.clear(); }, false},
        {"no host", [](SettingsForm& f) { f.host.clear(); }, false},
        {"port 0", [](SettingsForm& f) { f.port = 0; }, false},
        {"no path, no storage, no language",
         [](SettingsForm& f) {
             f.path.clear();
             f.storage.clear();
             f.language.clear();
         },
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SettingsForm form = completeForm();
        row.change(form);
        EXPECT_EQ(SettingsFormComplete(form), row.complete);
    }
    for (const char* text : {"", "0", "8080", "65535"}) {
        EXPECT_TRUE(PortTextAccepted(QString::fromLatin1(text))) << text;
    }
    for (const char* text : {"65536", "99999", "123456", "80a", "-1", " 80"}) {
        EXPECT_FALSE(PortTextAccepted(QString::fromLatin1(text))) << text;
    }
}

TEST(SettingsForm, ShowsAndSavesTheSettings) {
    TestDevice device({"Storage Card"});
    device.mkdir("\\Storage Card"); // mounted
    const struct {
        const char* name;
        QString port, path, storage, mode, viewBy, keyboard;
        int portShown;
        QString pathShown;
        QString storageSaved, pathSaved, modeSaved;
        bool moveData;
    } rows[] = {
        {"main memory, standard path", "8080", kDefaultWebServicePath, "", kRouteMode, "DELIVERY",
         "N", 8080, "", "", kDefaultWebServicePath, kRouteMode, false},
        {"a card and a custom path", "80", "qvr", "Storage Card", kPackingNoteMode, "PRODUCTION",
         "Y", 80, "qvr", "Storage Card", "qvr", kPackingNoteMode, false},
        {"a port out of range shows the highest", "70000", "", "", kRouteMode, "DELIVERY", "N",
         65535, "", "", kDefaultWebServicePath, kRouteMode, false},
        {"an unknown mode saves as the packing-note mode it runs in", "1", "", "", "SOMETHING",
         "DELIVERY", "N", 1, "", "", kDefaultWebServicePath, kPackingNoteMode, false},
        {"a card that is gone moves the data to main memory", "1", "", "Old Card", kRouteMode,
         "DELIVERY", "N", 1, "", "", kDefaultWebServicePath, kRouteMode, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CKorvoDoc doc;
        doc.language = "English";
        doc.plantCode = "1000";
        doc.pdaCode = "HH03";
        doc.hostIp = "10.0.0.1";
        doc.portNumber = row.port;
        doc.webServicePath = row.path;
        doc.storageLocation = row.storage;
        doc.operatingMode = row.mode;
        doc.viewBy = row.viewBy;
        doc.showScreenKeyboard = row.keyboard;

        const SettingsForm form = SettingsFormOf(doc);
        EXPECT_EQ(form.port, row.portShown);
        EXPECT_EQ(form.path, row.pathShown);
        EXPECT_EQ(form.production, row.viewBy == "PRODUCTION");
        EXPECT_EQ(form.keyboard, row.keyboard == "Y");

        const CKorvoDoc before = doc;
        const SettingsSaved saved = ApplySettingsForm(form, doc);
        EXPECT_EQ(saved.moveData, row.moveData);
        EXPECT_EQ(saved.oldStorage, row.storage);
        EXPECT_FALSE(saved.languageChanged);
        EXPECT_EQ(doc.storageLocation, row.storageSaved);
        EXPECT_EQ(doc.webServicePath, row.pathSaved);
        EXPECT_EQ(doc.operatingMode, row.modeSaved);
        EXPECT_EQ(doc.viewBy, before.viewBy);
        EXPECT_EQ(doc.showScreenKeyboard, before.showScreenKeyboard);
        EXPECT_EQ(doc.portNumber, QString::number(row.portShown));
        EXPECT_EQ(doc.hostIp, before.hostIp);
    }
}

TEST(SettingsForm, ChangesThatSavingReports) {
    TestDevice device({"Storage Card"});
    device.mkdir("\\Storage Card"); // mounted
    CKorvoDoc doc;
    doc.language = "English";
    SettingsForm form = completeForm();
    form.language = "Deutsch";
    form.storage = "Storage Card";
    const SettingsSaved saved = ApplySettingsForm(form, doc);
    EXPECT_TRUE(saved.languageChanged);
    EXPECT_TRUE(doc.languageChanged);
    EXPECT_TRUE(saved.moveData);
    EXPECT_EQ(saved.oldStorage, "");
    EXPECT_EQ(doc.storageLocation, "Storage Card");

    // A test download uses the typed values and leaves the saved ones.
    form.host = "192.168.1.9";
    form.path = "";
    SetPendingSettings(form, doc);
    EXPECT_EQ(doc.pendingHostIp, "192.168.1.9");
    EXPECT_EQ(doc.pendingPortNumber, "8080");
    EXPECT_EQ(doc.pendingWebServicePath, "");
    EXPECT_EQ(doc.hostIp, "127.0.0.1");
}

} // namespace

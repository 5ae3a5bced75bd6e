#pragma once

#include "model/korvo_doc.h"
#include "scripted_prompter.h"
#include "shell/main_frame.h"
#include "test_device.h"

#include <QByteArray>
#include <QSize>
#include <QStringList>
#include <gtest/gtest.h>

// The start screen and the settings screen as they are, every workflow screen
// a placeholder that carries out whatever the navigation asks: for tests of the
// navigation itself.
KorvoView* PlaceholderScreens(int screenId, CMainFrame& frame, QWidget* parent);

// Fills a test device as the program finds it: the shipped translations next
// to the program and, when given, a settings file.
void PrepareTestDevice(TestDevice& device, const QByteArray& settingsFile);
// The program's own screens.
CMainFrame::ScreenFactory ProgramScreens();
// The texts of the Actions menu shown now.
QStringList ActionMenuTexts(const CMainFrame& frame);

// The program as it starts: a fresh device with the shipped translations, the
// scripted Prompter, the work state and the main frame on the start screen.
// `Frame` may be a CMainFrame that a test has extended.
template <typename Frame = CMainFrame> class FrameFixture : public ::testing::Test {
protected:
    explicit FrameFixture(QStringList cards = {}) : device(std::move(cards)) {}

    // Starts on a settings file (empty: the first start creates one).
    void start(const QByteArray& settingsFile = {},
               CMainFrame::ScreenFactory factory = ProgramScreens()) {
        PrepareTestDevice(device, settingsFile);
        frame.setScreenFactory(std::move(factory));
        frame.showFirstScreen(kStartScreen);
        frame.show();
        frame.FillActionMenu(kStartScreen);
    }

    QStringList actionTexts() const { return ActionMenuTexts(frame); }

    TestDevice device;
    ScriptedPrompter prompter;
    ScopedPrompter scope{prompter};
    CKorvoDoc doc;
    Frame frame{doc, QSize(240, 320)};
};

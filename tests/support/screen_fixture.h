#pragma once

#include "fake_frame.h"
#include "model/korvo_doc.h"
#include "recording_back_office.h"
#include "scripted_prompter.h"
#include "test_device.h"

#include <QString>
#include <gtest/gtest.h>

class KorvoView;
class QWidget;

// One screen on the fake frame, with the shipped translations of a language,
// the scripted Prompter and the recording back office. Create the screen with
// open<CXxxView>() after arranging the work state.
class ScreenFixture : public ::testing::Test {
protected:
    explicit ScreenFixture(const QString& language = QStringLiteral("English"));

    template <typename View> View* open() {
        auto* view = new View(frame, doc, frame.client());
        frame.showScreen(view);
        return view;
    }

    // The child of the screen shown with this object name (fails the test when missing).
    template <typename W> W* child(const char* name) {
        W* w = frame.client()->findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    // A key as the user presses it: to the widget that has the focus.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Typing as a person or a scanner would, into the focused field.
    void typeText(const QString& text);
    QWidget* focused() const;

    TestDevice device;
    ScriptedPrompter prompter;
    ScopedPrompter scope{prompter};
    CKorvoDoc doc;
    RecordingBackOffice office{doc};
    FakeFrame frame{doc, office};
};

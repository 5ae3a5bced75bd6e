#pragma once

#include "widgets/layout_screen.h"
#include "widgets/screen_frame.h"

#include <QSize>
#include <QWidget>
#include <vector>

class BackOffice;
class CKorvoDoc;
class KorvoView;

// A ScreenFrame for screen tests, without the shell: it hosts one screen in a
// window of the handheld's size, lays it out as the main frame does, keeps the
// Actions-menu states in the work state's table, and records the commands the
// screen asks for instead of navigating.
class FakeFrame final : public QWidget, public ScreenFrame {
public:
    FakeFrame(CKorvoDoc& doc, BackOffice& office, QSize screen = QSize(240, 320));

    // Shows a screen created for this frame (`new CXxxView(frame, doc, frame.client())`)
    // as the main frame would: visible, activated, focus where the screen put it.
    void showScreen(KorvoView* screen);
    QWidget* client() const { return client_; }

    std::vector<int> commands;       // SwitchScreen calls, in order
    std::vector<int> removedEntries; // RemoveActionEntry calls
    bool actionEnabled(int screenId, int position) const;

    // Whether SwitchScreen answers that the screen changed.
    bool commandsChangeScreen = false;
    bool SwitchScreen(int command) override {
        commands.push_back(command);
        return commandsChangeScreen;
    }
    QString Translate(const QString& key) const override;
    void LayoutScreen(QWidget* screen, const std::array<int, 6>& buttonIds, int titleHeight,
                      int gap) override;
    void HandleSettingChange(QWidget*) override {}
    void SetActionEnabled(bool enabled, QWidget* button, int screenId, int position) override;
    void RemoveActionEntry(int command) override { removedEntries.push_back(command); }
    BackOffice& backOffice() override { return office_; }
    int screenWidth() const override { return geometry_.width; }
    int screenHeight() const override { return geometry_.height; }
    int menuBarHeight() const override { return geometry_.menuBarHeight; }

private:
    CKorvoDoc& doc_;
    BackOffice& office_;
    ScreenGeometry geometry_;
    QWidget* client_;
};

#pragma once

#include "shell/navigation.h"
#include "widgets/korvo_view.h"
#include "widgets/layout_screen.h"
#include "widgets/screen_frame.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class BackOffice;
class CKorvoDoc;
class InputPanel;
class KorvoView;
class QLabel;
class QMenu;
class QToolButton;

// The one window: a title strip on top, the current screen in the middle and the
// menu bar with its three drop-down buttons at the bottom. It owns navigation:
// every screen change goes through SwitchScreen.
class CMainFrame : public QWidget, public ScreenFrame {
    Q_OBJECT
public:
    static constexpr int kTaskBarHeight = 26;
    static constexpr int kMenuBarHeight = 26;

    enum MenuButton { AppMenu = 0, ActionsMenu = 1, HelpMenu = 2 };

    // Creates the screen of a ScreenId for the frame (nullptr when it cannot).
    using ScreenFactory =
        std::function<KorvoView*(int screenId, CMainFrame& frame, QWidget* parent)>;

    CMainFrame(CKorvoDoc& doc, QSize screenSize, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKorvoDoc& document() { return doc_; }
    void setScreenFactory(ScreenFactory factory) { factory_ = std::move(factory); }
    // The back office screens and navigation talk to (the real one over the
    // service layer unless a test installs another; it must outlive the frame's use).
    void setBackOffice(BackOffice& office);

    // Shows the first screen (the start screen at start-up).
    void showFirstScreen(int screenId);

    // Menu bar.
    void SetMenuCaptions();
    void FillActionMenu(int screenId);
    QMenu* menu(MenuButton button) const;
    QToolButton* menuButton(MenuButton button) const;
    // Enables the entries of every menu as the current screen allows; runs before
    // a menu is shown.
    void updateMenuStates();
    void OnCommand(int command);
    void showAbout();

    int currentScreenId() const { return screenId_; }
    KorvoView* currentScreen() const { return screen_; }
    InputPanel* inputPanel() const { return inputPanel_; }
    QWidget* clientArea() const { return client_; }

    // ScreenFrame
    bool SwitchScreen(int command) override;
    QString Translate(const QString& key) const override;
    void LayoutScreen(QWidget* screen, const std::array<int, 6>& buttonIds, int titleHeight,
                      int gap) override;
    void HandleSettingChange(QWidget* screen) override;
    void SetActionEnabled(bool enabled, QWidget* button, int screenId, int position) override;
    void RemoveActionEntry(int command) override;
    BackOffice& backOffice() override { return *backOffice_; }
    int screenWidth() const override { return geometry_.width; }
    int screenHeight() const override { return geometry_.height; }
    int menuBarHeight() const override { return geometry_.menuBarHeight; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

    // Runs one navigation command after the back/forward mapping; returns the
    // next ScreenId, or kNoScreen to stay.
    virtual int executeCommand(int command);

private:
    void buildMenuBar();
    void showScreen(KorvoView* next, int screenId);

    CKorvoDoc& doc_;
    ScreenGeometry geometry_;
    ScreenFactory factory_;
    std::unique_ptr<BackOffice> ownBackOffice_;
    BackOffice* backOffice_ = nullptr;
    std::unique_ptr<BackOfficeNavigation> services_;
    Navigator navigator_;

    QLabel* taskBar_ = nullptr;
    QWidget* client_ = nullptr;
    QWidget* menuBar_ = nullptr;
    QToolButton* buttons_[3] = {};
    QMenu* menus_[3] = {};
    InputPanel* inputPanel_ = nullptr;

    QPointer<KorvoView> screen_;
    int screenId_ = -1; // -1 until the first Actions menu is built
    const bool arrowKeysEnabled_ = true;
    const bool enterEscapeEnabled_ = true;
};

// After a dialog over `window` closed: the keyboard goes back to the dialog
// still open, else to the window. A window manager would do this; a handheld
// runs the program alone on its display, where the keys would otherwise go
// nowhere until the screen is tapped.
void GiveKeyboardBack(QWidget* window);

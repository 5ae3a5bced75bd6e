#include "shell/main_frame.h"

#include "model/korvo_doc.h"
#include "model/navigation_ids.h"
#include "platform/prompter.h"
#include "screens/setting_view.h"
#include "service/back_office.h"
#include "shell/about_dialog.h"
#include "widgets/input_panel.h"
#include "widgets/korvo_view.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QToolButton>

namespace {

// Menu items carry their command id in QAction::data.
int commandOf(const QAction* action) {
    return action->data().toInt();
}

QAction* makeItem(QMenu* menu, const QString& text, int command) {
    auto* action = new QAction(text, menu);
    action->setData(command);
    return action;
}

// Inserts at a position of the menu, as the platform's menus do.
void insertAt(QMenu* menu, int position, QAction* action) {
    const QList<QAction*> actions = menu->actions();
    if (position >= 0 && position < actions.size()) {
        menu->insertAction(actions.at(position), action);
    } else {
        menu->addAction(action);
    }
}

void deleteAt(QMenu* menu, int position) {
    const QList<QAction*> actions = menu->actions();
    if (position >= 0 && position < actions.size()) {
        QAction* action = actions.at(position);
        menu->removeAction(action);
        delete action;
    }
}

void deleteCommand(QMenu* menu, int command) {
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator() && commandOf(action) == command) {
            menu->removeAction(action);
            delete action;
            return;
        }
    }
}

} // namespace

CMainFrame::CMainFrame(CKorvoDoc& doc, QSize screenSize, QWidget* parent)
    : QWidget(parent), doc_(doc), ownBackOffice_(std::make_unique<ServiceBackOffice>(doc)),
      backOffice_(ownBackOffice_.get()),
      services_(std::make_unique<BackOfficeNavigation>(
          doc, *backOffice_, [&doc] { return CSettingView::AskAccessPassword(doc); })),
      navigator_(doc, *services_) {
    geometry_.width = screenSize.width();
    geometry_.height = screenSize.height();
    geometry_.menuBarHeight = kMenuBarHeight;

    setWindowTitle(QStringLiteral("Korvane"));
    setFixedSize(screenSize);

    // The handheld's title strip: the client area starts below it, as on the device.
    taskBar_ = new QLabel(QStringLiteral(" Korvane"), this);
    taskBar_->setObjectName(QStringLiteral("taskBar"));
    taskBar_->setGeometry(0, 0, geometry_.width, kTaskBarHeight);
    taskBar_->setStyleSheet(QStringLiteral("background:#1f3b5a;color:white;font-weight:bold;"));

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setGeometry(0, kTaskBarHeight, geometry_.width,
                         geometry_.height - kTaskBarHeight - kMenuBarHeight);

    inputPanel_ = new InputPanel(client_);
    inputPanel_->setGeometry(0, client_->height() - InputPanel::kHeight, geometry_.width,
                             InputPanel::kHeight);
    connect(inputPanel_, &InputPanel::stateChanged, this, [this] {
        if (screen_) {
            screen_->settingChanged();
        }
    });

    buildMenuBar();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::setBackOffice(BackOffice& office) {
    backOffice_ = &office;
    services_ = std::make_unique<BackOfficeNavigation>(
        doc_, office, [this] { return CSettingView::AskAccessPassword(doc_); });
    navigator_.setServices(*services_);
}

void CMainFrame::buildMenuBar() {
    menuBar_ = new QWidget(this);
    menuBar_->setObjectName(QStringLiteral("menuBar"));
    menuBar_->setGeometry(0, geometry_.height - kMenuBarHeight, geometry_.width, kMenuBarHeight);
    menuBar_->setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(menuBar_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 3; ++i) {
        auto* button = new QToolButton(menuBar_);
        button->setObjectName(QStringLiteral("menuButton%1").arg(i));
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setFocusPolicy(Qt::NoFocus);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        auto* menu = new QMenu(button);
        button->setMenu(menu);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::updateMenuStates);
        connect(menu, &QMenu::triggered, this,
                [this](QAction* action) { OnCommand(commandOf(action)); });
        layout->addWidget(button);
        buttons_[i] = button;
        menus_[i] = menu;
    }
    // Texts are replaced by translations once the start screen has loaded them.
    menus_[AppMenu]->addAction(makeItem(menus_[AppMenu], QStringLiteral("Back"), Cmd::Back));
    menus_[AppMenu]->addSeparator();
    menus_[AppMenu]->addAction(makeItem(menus_[AppMenu], QStringLiteral("Exit"), Cmd::Exit));
    menus_[ActionsMenu]->addAction(
        makeItem(menus_[ActionsMenu], QStringLiteral("Actions"), Cmd::ActionsPlaceholder));
    menus_[HelpMenu]->addAction(makeItem(menus_[HelpMenu], QStringLiteral("About"), Cmd::About));
}

QMenu* CMainFrame::menu(MenuButton button) const {
    return menus_[button];
}

QToolButton* CMainFrame::menuButton(MenuButton button) const {
    return buttons_[button];
}

void CMainFrame::SetMenuCaptions() {
    buttons_[AppMenu]->setText(Translate(QStringLiteral("miApp")));
    QMenu* app = menus_[AppMenu];
    deleteAt(app, 0);
    insertAt(app, 0, makeItem(app, Translate(QStringLiteral("miBack")), Cmd::Back));
    deleteAt(app, 2);
    insertAt(app, 2, makeItem(app, Translate(QStringLiteral("miExit")), Cmd::Exit));

    buttons_[HelpMenu]->setText(Translate(QStringLiteral("lblHelp")));
    QMenu* help = menus_[HelpMenu];
    deleteAt(help, 0);
    insertAt(help, 0, makeItem(help, Translate(QStringLiteral("miKorvane")), Cmd::About));

    buttons_[ActionsMenu]->setText(Translate(QStringLiteral("miActions")));
}

void CMainFrame::FillActionMenu(int screenId) {
    QMenu* actions = menus_[ActionsMenu];
    if (screenId_ == kNoScreen) {
        deleteCommand(actions, Cmd::ActionsPlaceholder);
    } else {
        for (const ActionMenuEntry& entry : doc_.actionMenus.row(screenId_)) {
            deleteCommand(actions, entry.command);
        }
    }
    buttons_[ActionsMenu]->setEnabled(true);
    const auto& row = doc_.actionMenus.row(screenId);
    for (auto it = row.rbegin(); it != row.rend(); ++it) {
        QAction* item = makeItem(actions, Translate(it->captionKey), it->command);
        item->setEnabled(it->enabled);
        insertAt(actions, 0, item);
    }
    screenId_ = screenId;
}

void CMainFrame::updateMenuStates() {
    if (screenId_ >= 0 && screenId_ < kScreenCount) {
        const auto& row = doc_.actionMenus.row(screenId_);
        for (QAction* action : menus_[ActionsMenu]->actions()) {
            for (const ActionMenuEntry& entry : row) {
                if (entry.command == commandOf(action)) {
                    action->setEnabled(entry.enabled);
                }
            }
        }
    }
    for (QAction* action : menus_[AppMenu]->actions()) {
        if (!action->isSeparator() && commandOf(action) == Cmd::Back) {
            action->setEnabled(screenId_ != kStartScreen);
        }
    }
}

void CMainFrame::OnCommand(int command) {
    if (command >= Cmd::NavigationFirst && command <= Cmd::NavigationLast) {
        SwitchScreen(command);
    } else if (command == Cmd::About) {
        showAbout();
    } else if (command == Cmd::Exit) {
        close();
    }
}

void CMainFrame::showAbout() {
    CAboutDlg about(Translate(QStringLiteral("lblZIRPA")), Translate(QStringLiteral("lblVersion")),
                    this);
    about.exec();
    GiveKeyboardBack(this);
}

QString CMainFrame::Translate(const QString& key) const {
    return doc_.T(key);
}

void CMainFrame::LayoutScreen(QWidget* screen, const std::array<int, 6>& buttonIds, int titleHeight,
                              int gap) {
    LayoutScreenControls(screen, geometry_, buttonIds, titleHeight, gap);
}

void CMainFrame::HandleSettingChange(QWidget* screen) {
    if (screen == nullptr) {
        return;
    }
    if (inputPanel_->isRaised()) {
        // What stays visible between the title strip and the keypad.
        const int visibleHeight = client_->height() - InputPanel::kHeight;
        screen->resize(geometry_.width + 2, visibleHeight + 2);
    } else {
        screen->setGeometry(-1, -1, geometry_.width + 2, geometry_.height);
    }
}

void CMainFrame::SetActionEnabled(bool enabled, QWidget* button, int screenId, int position) {
    if (button != nullptr) {
        button->setEnabled(enabled);
    }
    if (screenId < 0 || screenId >= kScreenCount) {
        return;
    }
    auto& row = doc_.actionMenus.row(screenId);
    if (position >= 0 && position < static_cast<int>(row.size())) {
        row[static_cast<size_t>(position)].enabled = enabled;
        if (screenId == screenId_) {
            updateMenuStates();
        }
    }
}

void CMainFrame::RemoveActionEntry(int command) {
    deleteCommand(menus_[ActionsMenu], command);
}

void CMainFrame::keyPressEvent(QKeyEvent* event) {
    int command = 0;
    switch (event->key()) {
    case Qt::Key_F1:
    case Qt::Key_F2:
    case Qt::Key_F3:
        // The handheld's soft keys open the three menu-bar buttons; the menu then
        // takes Up, Down, Enter and Escape itself.
        if (QToolButton* button = buttons_[event->key() - Qt::Key_F1]; button->isEnabled()) {
            button->showMenu();
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        command = enterEscapeEnabled_ ? Cmd::Forward : 0;
        break;
    case Qt::Key_Escape:
        command = enterEscapeEnabled_ ? Cmd::Back : 0;
        break;
    case Qt::Key_Left:
        command = arrowKeysEnabled_ ? Cmd::Back : 0;
        break;
    case Qt::Key_Right:
        command = arrowKeysEnabled_ ? Cmd::Forward : 0;
        break;
    default:
        break;
    }
    if (command != 0) {
        SwitchScreen(command);
        return;
    }
    QWidget::keyPressEvent(event);
}

void CMainFrame::showFirstScreen(int screenId) {
    KorvoView* first = factory_ ? factory_(screenId, *this, client_) : nullptr;
    if (first == nullptr) {
        return;
    }
    screen_ = first;
    first->show();
    first->activate();
    // Before the window is activated, or the activation would hand the focus
    // to the first button and Enter would press it instead of Start.
    first->focusFirstControl();
    inputPanel_->raise();
}

bool CMainFrame::SwitchScreen(int command) {
    const int mapped = MapNavigationCommand(screenId_, command);
    if (mapped == 0) {
        return false;
    }
    const int next = executeCommand(mapped);
    if (next == kNoScreen || !factory_) {
        return false;
    }
    KorvoView* created = factory_(next, *this, client_);
    if (created == nullptr) {
        return false;
    }
    showScreen(created, next);
    return true;
}

int CMainFrame::executeCommand(int command) {
    return navigator_.execute(command, screen_.data());
}

void CMainFrame::showScreen(KorvoView* next, int screenId) {
    QPointer<KorvoView> old = screen_;
    FillActionMenu(screenId);
    screen_ = next;
    next->show();
    next->activate();
    // Focus stays where the screen put it, else the first control that takes it.
    next->focusFirstControl();
    inputPanel_->raise();
    if (old) {
        old->hide();
        old->deleteLater();
    }
}

void GiveKeyboardBack(QWidget* window) {
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* next = modal != nullptr ? modal : window;
    if (next != nullptr && next->isVisible()) {
        next->activateWindow();
    }
}

#include "shell/korvo_form_view.h"

#include "config/text_helpers.h"
#include "model/korvo_doc.h"
#include "platform/prompter.h"
#include "shell/main_frame.h"
#include "widgets/control_ids.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>

namespace {
constexpr int kStartButtonId = 1001;
constexpr int kSettingsButtonId = 1002;
} // namespace

CKorvoFormView::CKorvoFormView(CMainFrame& frame, QWidget* parent)
    : KorvoView(frame, frame.document(), kStartScreen, parent), mainFrame_(frame) {
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    SetControlId(title_, ControlId::Title);
    bottomBand_ = new QLabel(this);
    SetControlId(bottomBand_, ControlId::BottomBand);
    settingsButton_ = new QPushButton(this);
    settingsButton_->setObjectName(QStringLiteral("settingsButton"));
    SetControlId(settingsButton_, kSettingsButtonId);
    startButton_ = new QPushButton(this);
    startButton_->setObjectName(QStringLiteral("startButton"));
    SetControlId(startButton_, kStartButtonId);
    connect(startButton_, &QPushButton::clicked, this, [this] { switchScreen(Cmd::Start); });
    connect(settingsButton_, &QPushButton::clicked, this, [this] { switchScreen(Cmd::Settings); });
}

void CKorvoFormView::activate() {
    WaitCursor wait;
    frame_.LayoutScreen(this, {kSettingsButtonId, kStartButtonId, 0, 0, 0, 0}, 0, 2);
    ReadDeviceSettings(doc_, doc_.languageChanged);
    doc_.translations.LoadTranslations(TranslationFilePath(doc_.language));
    mainFrame_.SetMenuCaptions();
    title_->setText(T(QStringLiteral("lblTitleStartScreen")));
    settingsButton_->setText(T(QStringLiteral("miSettings")));
    startButton_->setText(T(QStringLiteral("miStart")));
    Prompter::current().setInputPanel(false);
    // After a return from another screen this drops the Settings entry, leaving
    // Start; at program start the menu still holds only its placeholder here.
    QMenu* actions = mainFrame_.menu(CMainFrame::ActionsMenu);
    const QList<QAction*> items = actions->actions();
    if (items.size() > 1) {
        actions->removeAction(items.at(1));
        delete items.at(1);
    }
}

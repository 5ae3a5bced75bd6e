#include "shell/korvo_form_view.h"

#include "config/device_settings.h"
#include "model/korvo_doc.h"
#include "platform/prompter.h"
#include "shell/main_frame.h"
#include "widgets/colour_widgets.h"
#include "widgets/control_ids.h"
#include "widgets/image_button.h"
#include "widgets/product_icons.h"

#include <QLabel>
#include <QMenu>

namespace {

constexpr int kBannerId = 1086;
constexpr int kBannerHeight = 46;

QLabel* makeLabel(QWidget* parent, const char* name, int id) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    SetControlId(label, id);
    return label;
}

} // namespace

CKorvoFormView::CKorvoFormView(CMainFrame& frame, QWidget* parent)
    : KorvoView(frame, frame.document(), kStartScreen, parent), mainFrame_(frame) {
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    banner_ = makeLabel(this, "banner", kBannerId);
    versionCaption_ = makeLabel(this, "versionCaption", 1017);
    versionValue_ = new CColourLabel(this);
    versionValue_->setObjectName(QStringLiteral("versionValue"));
    SetControlId(versionValue_, 1003);
    LabelStyle(versionValue_, 14, true);
    licensedTo_ = makeLabel(this, "licensedTo", 1018);
    plantName_ = makeLabel(this, "plantName", 1005);
    plantAddress_ = makeLabel(this, "plantAddress", 1004);
    plantCity_ = makeLabel(this, "plantCity", 1006);
    licensedBy_ = makeLabel(this, "licensedBy", 1009);
    logo_ = makeLabel(this, "logo", 0);
    for (QLabel* caption : {versionCaption_, licensedTo_, licensedBy_}) {
        caption->setStyleSheet(QStringLiteral("color:#555555;"));
    }
    QFont bold = plantName_->font();
    bold.setBold(true);
    plantName_->setFont(bold);

    settingsButton_ = new CImageButton(this);
    settingsButton_->setObjectName(QStringLiteral("settingsButton"));
    SetControlId(settingsButton_, kSettingsButtonId);
    startButton_ = new CImageButton(this);
    startButton_->setObjectName(QStringLiteral("startButton"));
    SetControlId(startButton_, kStartButtonId);
    connect(startButton_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::Start); });
    connect(settingsButton_, &QAbstractButton::clicked, this, [this] {
        settingsButton_->ResetButton();
        switchScreen(Cmd::Settings);
    });
}

void CKorvoFormView::placeLabels() {
    const int width = frame_.screenWidth();
    banner_->setGeometry(1, ScreenFrame::kTitleHeight, width - 2, kBannerHeight);
    banner_->setPixmap(BannerPicture(width - 2, kBannerHeight));
    // The plant block between the banner and the button row.
    const int left = 8;
    const int inner = width - 2 * left;
    int y = ScreenFrame::kTitleHeight + kBannerHeight + 6;
    versionCaption_->setGeometry(left, y, inner / 2, 18);
    versionValue_->setGeometry(left + inner / 2, y, inner / 2, 18);
    y += 24;
    licensedTo_->setGeometry(left, y, inner, 16);
    y += 17;
    plantName_->setGeometry(left, y, inner, 17);
    y += 17;
    plantAddress_->setGeometry(left, y, inner, 16);
    y += 16;
    plantCity_->setGeometry(left, y, inner, 16);
    y += 22;
    licensedBy_->setGeometry(left, y, inner, 16);
    y += 17;
    const int buttonRow = frame_.screenHeight() - frame_.menuBarHeight() - 73;
    const int logoHeight = std::clamp(buttonRow - y - 4, 16, 28);
    logo_->setGeometry(left, y, 110, logoHeight);
    logo_->setPixmap(LogoPicture(110, logoHeight));
}

void CKorvoFormView::showPlantDetails() {
    const Plant* plant = doc_.currentSettings && doc_.currentSettings->plant
                             ? &*doc_.currentSettings->plant
                             : nullptr;
    if (plant == nullptr) {
        return;
    }
    versionValue_->setText(ApplicationVersion);
    plantName_->setText(plant->PN);
    plantAddress_->setText(plant->S);
    plantCity_->setText(plant->C + QLatin1Char(' ') + plant->ST + QLatin1Char(' ') + plant->ZIP);
}

void CKorvoFormView::activate() {
    WaitCursor wait;
    placeLabels();
    settingsButton_->SetButtonImages(191, 192, 193);
    startButton_->SetButtonImages(194, 195, 196);
    frame_.LayoutScreen(this, {kSettingsButtonId, kStartButtonId, 0, 0, 0, 0}, 0, 2);

    showPlantDetails();

    ReadDeviceSettings(doc_, doc_.languageChanged);
    doc_.translations.LoadTranslations(TranslationFilePath(doc_.language));
    mainFrame_.SetMenuCaptions();

    setTitle(T(QStringLiteral("lblTitleStartScreen")));
    versionCaption_->setText(T(QStringLiteral("lblVersion")));
    licensedTo_->setText(T(QStringLiteral("lblLicensTo")));
    licensedBy_->setText(T(QStringLiteral("lblLicensBy")));

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

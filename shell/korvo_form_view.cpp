#include "shell/korvo_form_view.h"

#include "config/device_settings.h"
#include "config/log.h"
#include "config/text_helpers.h"
#include "model/korvo_doc.h"
#include "platform/device_file_system.h"
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
    storageStatus_ = makeLabel(this, "storageStatus", 0);
    storageStatus_->setWordWrap(true);
    storageStatus_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    storageStatus_->setStyleSheet(QStringLiteral("color:#b00000;"));
    QFont small = storageStatus_->font();
    small.setPixelSize(std::max(8, small.pixelSize() * 4 / 5));
    storageStatus_->setFont(small);
    storageStatus_->hide();
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
    const int buttonRow = buttonRowTop();
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
    loadTranslations();
    mainFrame_.SetMenuCaptions();

    setTitle(T(QStringLiteral("lblTitleStartScreen")));
    versionCaption_->setText(T(QStringLiteral("lblVersion")));
    licensedTo_->setText(T(QStringLiteral("lblLicensTo")));
    licensedBy_->setText(T(QStringLiteral("lblLicensBy")));
    showStorageStatus();

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

void CKorvoFormView::loadTranslations() {
    if (doc_.translations.LoadTranslations(TranslationFilePath(doc_.language))) {
        return;
    }
    // The device's copy cannot be read (a read-only or full device root, or a
    // language file that was never installed): the program still speaks, in
    // the translation it ships. This happens once per run; later activations
    // find the table filled.
    LoadShippedTranslations(doc_.translations, doc_.language);
}

void CKorvoFormView::showStorageStatus() {
    if (DeviceFileSystem::current().isWritable(ProgramDirectory())) {
        storageStatus_->hide();
        return;
    }
    // A device file written by an older version may lack the text.
    QString text = T(QStringLiteral("msgStorageReadOnly"));
    if (text.isEmpty() || text.endsWith(QLatin1String(" Not Translated !"))) {
        TranslationTable shipped;
        LoadShippedTranslations(shipped, doc_.language);
        text = shipped.T(QStringLiteral("msgStorageReadOnly"));
    }
    storageStatus_->setText(text);
    // Once per run in the log, where the log can still be written (a card).
    static bool logged = false;
    if (!logged) {
        logged = true;
        WriteLog(doc_.storageLocation, QStringLiteral("KorvoFormView.Error ") + text);
    }
    const QRect start = startButton_->geometry();
    const int left = start.right() + 6;
    storageStatus_->setGeometry(left, start.top(), frame_.screenWidth() - left - 4, start.height());
    storageStatus_->show();
    storageStatus_->raise();
}

#include "screens/setting_view.h"

#include "config/device_settings.h"
#include "config/text_helpers.h"
#include "model/korvo_doc.h"
#include "model/settings_form.h"
#include "platform/device_file_system.h"
#include "platform/prompter.h"
#include "widgets/colour_widgets.h"
#include "widgets/control_ids.h"
#include "widgets/image_button.h"
#include "widgets/product_icons.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

const QString CSettingView::kPassword = QStringLiteral("639");

namespace {

bool isStandardPath(const QString& path) {
    return path.isEmpty() || path == kDefaultWebServicePath;
}

QScrollArea* scrollPage(QWidget* page) {
    auto* scroll = new QScrollArea;
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return scroll;
}

QLabel* wrappingLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

int SelectByPrefix(QComboBox* combo, const QString& text) {
    const int count = combo->count();
    for (int k = 1; k <= count; ++k) {
        const int i = k % count;
        if (combo->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            combo->setCurrentIndex(i);
            return i;
        }
    }
    return -1;
}

CSettingView::CSettingView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kSettingScreen, parent) {
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    tabs_->setDocumentMode(true);
    userScroll_ = scrollPage(buildUserTab());
    systemScroll_ = scrollPage(buildSystemTab());
    tabs_->addTab(userScroll_, QString());
    tabs_->addTab(systemScroll_, QString());
    buildButtons();
    connectFields();
}

QWidget* CSettingView::buildUserTab() {
    auto* user = new QWidget;
    auto* userLayout = new QVBoxLayout(user);
    userLayout->setContentsMargins(4, 4, 4, 4);
    userLayout->setSpacing(4);
    auto* languageRow = new QHBoxLayout;
    languageLabel_ = wrappingLabel(user);
    languageCombo_ = new QComboBox(user);
    languageCombo_->setObjectName(QStringLiteral("language"));
    languageRow->addWidget(languageLabel_, 2);
    languageRow->addWidget(languageCombo_, 3);
    userLayout->addLayout(languageRow);
    keyboardCheck_ = new QCheckBox(user);
    keyboardCheck_->setObjectName(QStringLiteral("keyboard"));
    userLayout->addWidget(keyboardCheck_);
    // Each radio pair sits side by side under its caption.
    auto radioPair = [&](QLabel*& caption, QRadioButton*& first, const char* firstName,
                         QRadioButton*& second, const char* secondName) {
        auto* group = new QGroupBox(user);
        auto* layout = new QGridLayout(group);
        layout->setContentsMargins(4, 2, 4, 2);
        layout->setVerticalSpacing(2);
        caption = wrappingLabel(group);
        first = new QRadioButton(group);
        first->setObjectName(QLatin1String(firstName));
        second = new QRadioButton(group);
        second->setObjectName(QLatin1String(secondName));
        layout->addWidget(caption, 0, 0, 1, 2);
        layout->addWidget(first, 1, 0);
        layout->addWidget(second, 1, 1);
        userLayout->addWidget(group);
    };
    radioPair(viewByLabel_, productionRadio_, "production", deliveryRadio_, "delivery");
    radioPair(modeLabel_, routeRadio_, "routeMode", packingNoteRadio_, "packingNoteMode");
    userLayout->addStretch(1);
    return user;
}

QWidget* CSettingView::buildSystemTab() {
    auto* system = new QWidget;
    auto* grid = new QGridLayout(system);
    grid->setContentsMargins(4, 3, 4, 2);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    auto addRow = [&](int row, QLabel*& label, QWidget* field) {
        label = wrappingLabel(system);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
    };
    plantEdit_ = new QLineEdit(system);
    plantEdit_->setObjectName(QStringLiteral("plantCode"));
    pdaEdit_ = new QLineEdit(system);
    pdaEdit_->setObjectName(QStringLiteral("pdaCode"));
    hostEdit_ = new QLineEdit(system);
    hostEdit_->setObjectName(QStringLiteral("host"));
    portEdit_ = new QLineEdit(system);
    portEdit_->setObjectName(QStringLiteral("port"));
    portEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), portEdit_));
    addRow(0, plantLabel_, plantEdit_);
    addRow(1, pdaLabel_, pdaEdit_);
    addRow(2, hostLabel_, hostEdit_);
    addRow(3, portLabel_, portEdit_);
    standardPathRadio_ = new QRadioButton(system);
    standardPathRadio_->setObjectName(QStringLiteral("standardPath"));
    customPathRadio_ = new QRadioButton(system);
    customPathRadio_->setObjectName(QStringLiteral("customPath"));
    auto* pathGroup = new QButtonGroup(system);
    pathGroup->addButton(standardPathRadio_);
    pathGroup->addButton(customPathRadio_);
    grid->addWidget(standardPathRadio_, 4, 0);
    grid->addWidget(customPathRadio_, 4, 1);
    pathEdit_ = new QLineEdit(system);
    pathEdit_->setObjectName(QStringLiteral("path"));
    grid->addWidget(pathEdit_, 5, 0, 1, 2);
    storageCombo_ = new QComboBox(system);
    storageCombo_->setObjectName(QStringLiteral("storage"));
    addRow(6, storageLabel_, storageCombo_);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);
    grid->setRowStretch(7, 1);

    for (QWidget* field :
         std::initializer_list<QWidget*>{languageCombo_, plantEdit_, pdaEdit_, hostEdit_, portEdit_,
                                         pathEdit_, storageCombo_}) {
        field->setFixedHeight(22);
    }
    return system;
}

void CSettingView::buildButtons() {
    okButton_ = new CImageButton(this);
    okButton_->setObjectName(QStringLiteral("ok"));
    SetControlId(okButton_, kOkButtonId);
    cancelButton_ = new CImageButton(this);
    cancelButton_->setObjectName(QStringLiteral("cancel"));
    SetControlId(cancelButton_, kCancelButtonId);
    testButton_ = new CImageButton(this);
    testButton_->setObjectName(QStringLiteral("test"));
    SetControlId(testButton_, kTestButtonId);

    connect(okButton_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::SettingsOk); });
    connect(cancelButton_, &QAbstractButton::clicked, this,
            [this] { switchScreen(Cmd::SettingsCancel); });
    connect(testButton_, &QAbstractButton::clicked, this, &CSettingView::TestDownload);
}

void CSettingView::connectFields() {
    for (QLineEdit* edit : {plantEdit_, pdaEdit_, hostEdit_, pathEdit_}) {
        connect(edit, &QLineEdit::textChanged, this, &CSettingView::validate);
        edit->installEventFilter(this);
    }
    portEdit_->installEventFilter(this);
    connect(portEdit_, &QLineEdit::textChanged, this, &CSettingView::onPortEdited);
    connect(languageCombo_, &QComboBox::currentIndexChanged, this, &CSettingView::validate);
    connect(storageCombo_, &QComboBox::currentIndexChanged, this, &CSettingView::validate);
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             keyboardCheck_, productionRadio_, deliveryRadio_, routeRadio_, packingNoteRadio_}) {
        connect(button, &QAbstractButton::clicked, this, &CSettingView::validate);
    }
    connect(standardPathRadio_, &QAbstractButton::clicked, this, &CSettingView::onStandardPath);
    connect(customPathRadio_, &QAbstractButton::clicked, this, &CSettingView::onCustomPath);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        // The System tab's path radios follow the path text each time it shows.
        if (index == 1) {
            setPathRadios();
        }
    });
}

bool CSettingView::AskAccessPassword(const CKorvoDoc& doc) {
    PasswordRequest request;
    request.label = doc.T(QStringLiteral("lblPassword"));
    request.okCaption = doc.T(QStringLiteral("lblOK"));
    request.cancelCaption = doc.T(QStringLiteral("lblCancel"));
    request.errorText = doc.T(QStringLiteral("msgErrPass")) + QStringLiteral(" \n") +
                        doc.T(QStringLiteral("msgTryAgain"));
    request.raiseInputPanel = doc.showScreenKeyboard == QLatin1String("Y");
    return Prompter::current().passwordDialog(
        request, [](const QString& typed) { return typed == kPassword; });
}

void CSettingView::activate() {
    filling_ = true;

    tabs_->setTabText(0, T(QStringLiteral("lblUser")));
    tabs_->setTabText(1, T(QStringLiteral("lblSystem")));

    setTitle(T(QStringLiteral("lblTSettings")));
    languageLabel_->setText(T(QStringLiteral("lblLang")));
    keyboardCheck_->setText(T(QStringLiteral("lblCheckBoxKeyActive")));
    viewByLabel_->setText(T(QStringLiteral("lblViewBy")));
    productionRadio_->setText(T(QStringLiteral("lblProdDate")));
    deliveryRadio_->setText(T(QStringLiteral("lblDelDate")));
    modeLabel_->setText(T(QStringLiteral("lblOperatingMode")));
    routeRadio_->setText(T(QStringLiteral("lblRouteMode")));
    packingNoteRadio_->setText(T(QStringLiteral("lblPackingNoteMode")));
    plantLabel_->setText(T(QStringLiteral("lblPlantCode")));
    pdaLabel_->setText(T(QStringLiteral("lblPDACode")));
    hostLabel_->setText(T(QStringLiteral("lblHostIP")));
    portLabel_->setText(T(QStringLiteral("lblPortNr")));
    standardPathRadio_->setText(T(QStringLiteral("lblStdPath")));
    customPathRadio_->setText(T(QStringLiteral("lblCustomPath")));
    storageLabel_->setText(T(QStringLiteral("lblDataStorage")));

    fillStorageCombo();
    fillLanguageCombo();

    const SettingsForm form = SettingsFormOf(doc_);
    keyboardCheck_->setChecked(form.keyboard);
    (form.production ? productionRadio_ : deliveryRadio_)->setChecked(true);
    (form.routeMode ? routeRadio_ : packingNoteRadio_)->setChecked(true);
    plantEdit_->setText(form.plantCode);
    pdaEdit_->setText(form.pdaCode);
    hostEdit_->setText(form.host);
    lastPortText_ = QString::number(form.port);
    portEdit_->setText(lastPortText_);
    pathEdit_->setText(form.path);
    setPathRadios();

    okButton_->SetButtonImages(210, 211, 212);
    cancelButton_->SetButtonImages(246, 207, 208);
    testButton_->SetButtonImages(233, 232, 230);
    frame_.LayoutScreen(this, {kOkButtonId, kCancelButtonId, kTestButtonId, 0, 0, 0}, 0, 2);
    layoutTabs();

    filling_ = false;
    validate();
    // OK becomes available with the first change; Back and Enter save anyway.
    frame_.SetActionEnabled(false, okButton_, kSettingScreen, 0);
    frame_.SetActionEnabled(true, cancelButton_, kSettingScreen, 1);
}

void CSettingView::fillStorageCombo() {
    QSignalBlocker block(storageCombo_);
    storageCombo_->clear();
    storageCombo_->addItem(T(QStringLiteral("lblMainMemory")));
    for (const DeviceFileSystem::Entry& entry : DeviceFileSystem::current().rootEntries()) {
        if (entry.isStorageCard) {
            storageCombo_->addItem(entry.name);
        }
    }
    if (doc_.storageLocation.isEmpty()) {
        storageCombo_->setCurrentIndex(0);
    } else if (SelectByPrefix(storageCombo_, doc_.storageLocation) < 0) {
        storageCombo_->setCurrentIndex(-1);
    }
}

void CSettingView::fillLanguageCombo() {
    QSignalBlocker block(languageCombo_);
    languageCombo_->clear();
    const QStringList files =
        DeviceFileSystem::current().findFiles(ProgramDirectory() + QStringLiteral("\\ZIRPA_*.txt"));
    for (QString name : files) {
        name.remove(QStringLiteral("ZIRPA_"), Qt::CaseInsensitive);
        name.remove(QStringLiteral(".txt"), Qt::CaseInsensitive);
        languageCombo_->addItem(name);
    }
    languageCombo_->setCurrentIndex(-1);
    SelectByPrefix(languageCombo_, doc_.language);
}

void CSettingView::setPathRadios() {
    if (isStandardPath(pathEdit_->text())) {
        standardPathRadio_->setChecked(true);
        pathEdit_->clear();
        pathEdit_->setEnabled(false);
    } else {
        customPathRadio_->setChecked(true);
        pathEdit_->setEnabled(true);
    }
}

void CSettingView::onStandardPath() {
    pathEdit_->clear();
    pathEdit_->setEnabled(false);
    validate();
}

void CSettingView::onCustomPath() {
    pathEdit_->setEnabled(true);
    pathEdit_->setFocus();
    // Only the standard path makes way for a custom one; a custom path typed
    // before stays.
    if (pathEdit_->text() == kDefaultWebServicePath) {
        pathEdit_->clear();
    }
    if (!pathEdit_->text().isEmpty()) {
        validate();
    }
}

void CSettingView::onPortEdited() {
    const QString text = portEdit_->text();
    if (!PortTextAccepted(text)) {
        Prompter::current().messageBox({T(QStringLiteral("lblPortNr")),
                                        T(QStringLiteral("msgPortRange")), MessageIcon::Warning,
                                        MessageButtons::Ok});
        QSignalBlocker block(portEdit_);
        portEdit_->setText(lastPortText_);
        return;
    }
    lastPortText_ = text;
    validate();
}

SettingsForm CSettingView::form() const {
    SettingsForm f;
    f.language = languageCombo_->currentText();
    f.keyboard = keyboardCheck_->isChecked();
    f.production = productionRadio_->isChecked();
    f.routeMode = routeRadio_->isChecked();
    f.plantCode = plantEdit_->text();
    f.pdaCode = pdaEdit_->text();
    f.host = hostEdit_->text();
    f.port = lastPortText_.toInt();
    f.path = pathEdit_->text();
    f.storage = storageCombo_->currentText();
    return f;
}

void CSettingView::validate() {
    if (filling_) {
        return;
    }
    const bool complete = SettingsFormComplete(form());
    frame_.SetActionEnabled(complete, okButton_, kSettingScreen, 0);
    testButton_->EnableButton(complete);
}

void CSettingView::TestDownload() {
    testButton_->ResetButton();
    SetPendingSettings(form(), doc_);
    doc_.settingsTestActive = true;
    switchScreen(Cmd::TestDownload);
    doc_.settingsTestActive = false;
}

void CSettingView::SaveSettings() {
    const SettingsSaved saved = ApplySettingsForm(form(), doc_);
    if (saved.moveData) {
        MoveDataDirectory(saved.oldStorage, doc_.storageLocation);
    }
    WriteDeviceSettings(doc_);
}

QString CSettingView::runOperation(ScreenOperation operation) {
    if (operation != ScreenOperation::SaveSettings) {
        return KorvoView::runOperation(operation);
    }
    SaveSettings();
    return Result::Ok;
}

void CSettingView::layoutTabs() {
    const int top = ScreenFrame::kTitleHeight;
    const int buttonRow = buttonRowTop();
    const int bottom = std::min(buttonRow, height() - 2);
    tabs_->setGeometry(0, top, std::min(width(), frame_.screenWidth()), std::max(40, bottom - top));
}

void CSettingView::resizeEvent(QResizeEvent* event) {
    KorvoView::resizeEvent(event);
    layoutTabs();
    if (QWidget* focused = focusWidget()) {
        for (QScrollArea* scroll : {userScroll_, systemScroll_}) {
            if (scroll->isAncestorOf(focused)) {
                scroll->ensureWidgetVisible(focused);
            }
        }
    }
}

bool CSettingView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        if (keyboardCheck_->isChecked()) {
            Prompter::current().setInputPanel(event->type() == QEvent::FocusIn);
        }
        if (event->type() == QEvent::FocusIn) {
            auto* widget = static_cast<QWidget*>(watched);
            systemScroll_->ensureWidgetVisible(widget);
        }
    }
    return KorvoView::eventFilter(watched, event);
}

#pragma once

#include "model/settings_form.h"
#include "widgets/korvo_view.h"

class CColourLabel;
class CImageButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QTabWidget;

// The password-protected settings: language, keyboard, day basis and operating
// mode on the User tab; plant, handheld, server, port, path and data storage on
// the System tab. OK (and Back) saves; the test button downloads the plant
// settings with the values being typed.
class CSettingView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kOkButtonId = 1101;
    static constexpr int kCancelButtonId = 1102;
    static constexpr int kTestButtonId = 1103;
    static const QString kPassword;

    CSettingView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    // Asks for the access password; true when it was given.
    static bool AskAccessPassword(const CKorvoDoc& doc);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

    void SaveSettings();
    void TestDownload();

    // For tests and the screenshot tool.
    QTabWidget* tabs() const { return tabs_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildUserTab();
    QWidget* buildSystemTab();
    void buildButtons();
    void connectFields();
    // The form as the controls hold it.
    SettingsForm form() const;
    void validate();
    void setPathRadios();
    void onStandardPath();
    void onCustomPath();
    void onPortEdited();
    void fillStorageCombo();
    void fillLanguageCombo();
    void layoutTabs();

    bool filling_ = true; // no validation while the controls are being filled
    QString lastPortText_;

    QTabWidget* tabs_;
    QScrollArea* userScroll_;
    QScrollArea* systemScroll_;

    QLabel* languageLabel_;
    QComboBox* languageCombo_;
    QCheckBox* keyboardCheck_;
    QLabel* viewByLabel_;
    QRadioButton* productionRadio_;
    QRadioButton* deliveryRadio_;
    QLabel* modeLabel_;
    QRadioButton* routeRadio_;
    QRadioButton* packingNoteRadio_;

    QLabel* plantLabel_;
    QLineEdit* plantEdit_;
    QLabel* pdaLabel_;
    QLineEdit* pdaEdit_;
    QLabel* hostLabel_;
    QLineEdit* hostEdit_;
    QLabel* portLabel_;
    QLineEdit* portEdit_;
    QRadioButton* standardPathRadio_;
    QRadioButton* customPathRadio_;
    QLineEdit* pathEdit_;
    QLabel* storageLabel_;
    QComboBox* storageCombo_;

    CImageButton* okButton_;
    CImageButton* cancelButton_;
    CImageButton* testButton_;
};

// Selects the first item that starts with `text` (letter case ignored), looking
// from the second item on and then at the first; returns the index or -1.
int SelectByPrefix(QComboBox* combo, const QString& text);

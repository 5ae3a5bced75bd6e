#pragma once

#include "widgets/korvo_view.h"

class CColourLabel;
class CImageButton;
class CMainFrame;
class QLabel;

// The start screen: version and plant, Start and Settings. Each activation
// re-reads the device settings, loads the translations (once per run) and
// refreshes the menu captions.
class CKorvoFormView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kStartButtonId = 1001;
    static constexpr int kSettingsButtonId = 1002;

    explicit CKorvoFormView(CMainFrame& frame, QWidget* parent = nullptr);

    void activate() override;

private:
    void showPlantDetails();
    void placeLabels();
    void loadTranslations();
    void showStorageStatus();

    CMainFrame& mainFrame_;
    QLabel* banner_;
    QLabel* versionCaption_;
    CColourLabel* versionValue_;
    QLabel* licensedTo_;
    QLabel* plantName_;
    QLabel* plantAddress_;
    QLabel* plantCity_;
    QLabel* licensedBy_;
    QLabel* logo_;
    QLabel* storageStatus_; // says that the device storage is read-only
    CImageButton* settingsButton_;
    CImageButton* startButton_;
};

#pragma once

#include "widgets/korvo_view.h"

class CMainFrame;
class QLabel;
class QPushButton;

// The start screen: version and plant, Start and Settings. Each activation
// re-reads the device settings, loads the translations (once per run) and
// refreshes the menu captions.
class CKorvoFormView : public KorvoView {
    Q_OBJECT
public:
    CKorvoFormView(CMainFrame& frame, QWidget* parent = nullptr);

    void activate() override;

private:
    CMainFrame& mainFrame_;
    QLabel* title_;
    QLabel* bottomBand_;
    QPushButton* settingsButton_;
    QPushButton* startButton_;
};

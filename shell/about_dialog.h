#pragma once

#include <QDialog>

class CColourLabel;

// "About Korvane": product title, version caption and value, and a notice line.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const QString& productTitle, const QString& versionCaption,
              QWidget* parent = nullptr);

    CColourLabel* productTitleLabel() const { return title_; }
    CColourLabel* versionCaptionLabel() const { return versionCaption_; }
    CColourLabel* versionValueLabel() const { return versionValue_; }

private:
    CColourLabel* title_;
    CColourLabel* versionCaption_;
    CColourLabel* versionValue_;
};

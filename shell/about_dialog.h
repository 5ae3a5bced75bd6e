#pragma once

#include <QDialog>

class QLabel;

// "About Korvane": product title, version caption and value, and a notice line.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const QString& productTitle, const QString& versionCaption,
              QWidget* parent = nullptr);

    QLabel* productTitleLabel() const { return title_; }
    QLabel* versionCaptionLabel() const { return versionCaption_; }
    QLabel* versionValueLabel() const { return versionValue_; }

private:
    QLabel* title_;
    QLabel* versionCaption_;
    QLabel* versionValue_;
};

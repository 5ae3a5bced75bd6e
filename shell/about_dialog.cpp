#include "shell/about_dialog.h"

#include "model/korvo_doc.h"
#include "widgets/colour_widgets.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>

CAboutDlg::CAboutDlg(const QString& productTitle, const QString& versionCaption, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Korvane"));
    auto* layout = new QGridLayout(this);
    title_ = new CColourLabel(productTitle, this);
    title_->setObjectName(QStringLiteral("productTitle"));
    title_->setFont(ArialFont(16, true));
    versionCaption_ = new CColourLabel(versionCaption, this);
    versionCaption_->setObjectName(QStringLiteral("versionCaption"));
    versionValue_ = new CColourLabel(ApplicationVersion, this);
    versionValue_->setObjectName(QStringLiteral("versionValue"));
    versionValue_->setFont(ArialFont(12, true));
    auto* notice = new CColourLabel(QStringLiteral("Copyright \u00a9 Korvane"), this);
    notice->setObjectName(QStringLiteral("notice"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(title_, 0, 0, 1, 2);
    layout->addWidget(versionCaption_, 1, 0);
    layout->addWidget(versionValue_, 1, 1);
    layout->addWidget(notice, 2, 0, 1, 2);
    layout->addWidget(buttons, 3, 0, 1, 2);
}

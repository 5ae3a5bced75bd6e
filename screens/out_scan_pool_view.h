#pragma once

#include "model/pool_scan_rules.h"
#include "widgets/korvo_view.h"

#include <QEvent>

class CColourEdit;
class CColourLabel;
class CImageButton;
class QLabel;

// Out-scanning the bundles and pool items of one line of the note: each scan
// goes to the back office, the field turns lime for an accepted scan and red
// for a refused one, and the back office's return messages are shown one by one
// in the coloured message dialog; a confirm message can confirm the scanned
// item or bundle with a second scan.
class COutScanPoolView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kBackButtonId = 1501;
    // The notification that moves the walk on to the next return message.
    static const QEvent::Type kNextReturnMessage;

    COutScanPoolView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

    CColourEdit* scanField() const { return scanField_; }
    // The return message the walk is at (-1 when no walk runs).
    int walkPosition() const { return walk_.position(); }

protected:
    bool handleKey(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLine();
    void scan();
    void showScan(ScanShown shown);
    // Shows the return message the walk is at and acts on the answer.
    void showReturnMessage();
    void confirm(const Confirmation& confirmation);

    QLabel* product_;
    QLabel* size_;
    QLabel* toDeliverCaption_;
    QLabel* toDeliver_;
    QLabel* deliveredCaption_;
    CColourEdit* delivered_;
    QLabel* toDoCaption_;
    QLabel* toDo_;
    QLabel* scanCaption_;
    CColourEdit* scanField_;
    QLabel* bundlesCaption_;
    QLabel* bundles_;
    CImageButton* back_;

    // The walk through the return messages of the last scan; a notification
    // of an earlier walk is ignored.
    PoolScanWalk walk_;
    QString walkCode_; // the scan the walk belongs to
};

#pragma once

#include "screens/quantity_list_view.h"

class CImageButton;

// The lines of the current note with the quantity to deliver and the delivered
// quantity, which the worker corrects in place. From here the note is held
// (quantities saved), processed or printed, or the worker goes on to count or
// to out-scan the selected line.
class CDeliveredProdView : public CQuantityListView {
    Q_OBJECT
public:
    static constexpr int kPrintButtonId = 1301;
    static constexpr int kProcessButtonId = 1302;
    static constexpr int kBackButtonId = 1303;
    static constexpr int kHoldButtonId = 1304;
    static constexpr int kOutScanPoolButtonId = 1305;
    static constexpr int kCountingButtonId = 1306;

    CDeliveredProdView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

protected:
    std::vector<packingnoteline>* lines() override;
    bool handleKey(QKeyEvent* event) override;

private:
    void arrangeButtons();
    // Takes the quantities from the list and sends them; Result::Ok or the text shown.
    SendResult saveQuantities();
    // Hold's save: on success the route counts the note as in progress and the
    // quantities count as saved; on failure they stay on the screen, unsaved.
    QString hold();
    QString leave();
    QString printAndProcess();
    QString storeCurrentLine();

    CImageButton* print_;
    CImageButton* process_;
    CImageButton* back_;
    CImageButton* hold_;
    CImageButton* outScanPool_;
    CImageButton* counting_;
};

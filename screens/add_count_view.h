#pragma once

#include "screens/quantity_list_view.h"

class CImageButton;

// The counting twin of the delivered products: the products the back office
// wants counted for the note, each count edited in place under the same range
// rule. Save sends the counts and stays; Back reloads the note's lines and
// returns to the delivered products.
class CAddCountView : public CQuantityListView {
    Q_OBJECT
public:
    static constexpr int kSaveButtonId = 1401;
    static constexpr int kBackButtonId = 1402;

    CAddCountView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

protected:
    std::vector<packingnoteline>* lines() override;
    void cellEdited() override;
    bool handleKey(QKeyEvent* event) override;

private:
    QString save();
    void updateSaveState();

    CImageButton* save_;
    CImageButton* back_;
};

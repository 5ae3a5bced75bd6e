#pragma once

#include "widgets/korvo_view.h"

#include <cstddef>

class CImageButton;
class QTreeWidget;

// The routes of the chosen department and day, with their numbers of new and
// in-progress notes. OK makes the selected route the current one.
class CRouteSelectionView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kOkButtonId = 1221;
    static constexpr int kBackButtonId = 1222;

    CRouteSelectionView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

    QTreeWidget* list() const { return list_; }

protected:
    bool handleKey(QKeyEvent* event) override;

private:
    int selected_ = 0;
    std::size_t rows_ = 0; // routes shown

    QTreeWidget* list_;
    CImageButton* ok_;
    CImageButton* back_;
};

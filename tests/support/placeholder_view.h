#pragma once

#include "widgets/korvo_view.h"

// The translated title of a workflow screen, as the screen shows it.
QString ScreenTitle(int screenId, const CKorvoDoc& doc);

// Stands in for a workflow screen in tests of the navigation: its title, the
// bottom band and the Actions menu of its row, so the whole navigation can be
// walked. Every operation the navigation asks of it succeeds.
class CPlaceholderView : public KorvoView {
    Q_OBJECT
public:
    CPlaceholderView(ScreenFrame& frame, CKorvoDoc& doc, int screenId, QWidget* parent = nullptr);
    void activate() override;
    QString runOperation(ScreenOperation operation) override;
};

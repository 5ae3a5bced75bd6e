#include "widgets/korvo_view.h"

KorvoView::KorvoView(ScreenFrame& frame, CKorvoDoc& doc, int screenId, QWidget* parent)
    : QWidget(parent), frame_(frame), doc_(doc), screenId_(screenId) {
    setAutoFillBackground(true);
}

QString KorvoView::runOperation(ScreenOperation) {
    return QStringLiteral("OK");
}

#include "placeholder_view.h"

#include "model/entry_rules.h"
#include "model/korvo_doc.h"
#include "widgets/colour_widgets.h"
#include "widgets/control_ids.h"

namespace {

QString noteTitle(const CKorvoDoc& doc) {
    return doc.T(QStringLiteral("lblTitleNote")) + QLatin1Char(' ') +
           (doc.currentPackingNote ? doc.currentPackingNote->NNR : QString());
}

} // namespace

QString ScreenTitle(int screenId, const CKorvoDoc& doc) {
    switch (screenId) {
    case kSettingScreen:
        return doc.T(QStringLiteral("lblTSettings"));
    case kDepartmentScreen:
        return doc.T(doc.operatingMode == kPackingNoteMode ? QStringLiteral("lblEmployee")
                                                           : QStringLiteral("lblSelectDepartment"));
    case kDayScreen:
        return doc.T(doc.viewBy == QLatin1String("DELIVERY")
                         ? QStringLiteral("lblSelectDeliveryDay")
                         : QStringLiteral("lblSelectProductionDay"));
    case kRouteScreen:
        return doc.T(QStringLiteral("lblRouteTitle"));
    case kScanPnOrContainerScreen: {
        QString title = doc.T(QStringLiteral("lblRoute"));
        if (doc.currentRoute) {
            title += QLatin1Char(' ') + QString::number(doc.currentRoute->RNR) + QLatin1Char(' ') +
                     doc.currentRoute->D;
        }
        return title;
    }
    case kPackingNotesScreen:
        return doc.T(QLatin1String(NoteListLookFor(doc.shownList, 0).titleKey));
    case kPackingNoteInfoScreen:
    case kDeliveredProdScreen:
    case kAddCountScreen:
        return noteTitle(doc);
    case kOutScanPoolScreen:
        return doc.T(QStringLiteral("msgOutScanTitle"));
    case kScanPackingNoteScreen:
        return doc.T(QStringLiteral("lblScanPnTitle"));
    default:
        return doc.T(QStringLiteral("lblTitleStartScreen"));
    }
}

CPlaceholderView::CPlaceholderView(ScreenFrame& frame, CKorvoDoc& doc, int screenId,
                                   QWidget* parent)
    : KorvoView(frame, doc, screenId, parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void CPlaceholderView::activate() {
    frame_.LayoutScreen(this, {}, 0, 2);
    setTitle(ScreenTitle(screenId(), doc_));
}

QString CPlaceholderView::runOperation(ScreenOperation) {
    return Result::Ok;
}

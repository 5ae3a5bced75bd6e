#include "shell/screens.h"

#include "model/navigation_ids.h"
#include "screens/add_count_view.h"
#include "screens/day_selection_view.h"
#include "screens/delivered_prod_view.h"
#include "screens/department_selection_view.h"
#include "screens/out_scan_pool_view.h"
#include "screens/packing_note_info_view.h"
#include "screens/packing_notes_view.h"
#include "screens/route_selection_view.h"
#include "screens/scan_packing_note_view.h"
#include "screens/scan_pn_or_container_view.h"
#include "screens/setting_view.h"
#include "shell/korvo_form_view.h"
#include "shell/main_frame.h"

KorvoView* CreateScreen(int screenId, CMainFrame& frame, QWidget* parent) {
    switch (screenId) {
    case kStartScreen:
        return new CKorvoFormView(frame, parent);
    case kSettingScreen:
        return new CSettingView(frame, frame.document(), parent);
    case kDepartmentScreen:
        return new CDepartmentSelectionView(frame, frame.document(), parent);
    case kDayScreen:
        return new CDaySelectionView(frame, frame.document(), parent);
    case kRouteScreen:
        return new CRouteSelectionView(frame, frame.document(), parent);
    case kScanPnOrContainerScreen:
        return new CScanPnOrContainerView(frame, frame.document(), parent);
    case kPackingNotesScreen:
        return new CPackingNotesView(frame, frame.document(), parent);
    case kScanPackingNoteScreen:
        return new CScanPackingNoteView(frame, frame.document(), parent);
    case kPackingNoteInfoScreen:
        return new CPackingNoteInfoView(frame, frame.document(), parent);
    case kDeliveredProdScreen:
        return new CDeliveredProdView(frame, frame.document(), parent);
    case kOutScanPoolScreen:
        return new COutScanPoolView(frame, frame.document(), parent);
    case kAddCountScreen:
        return new CAddCountView(frame, frame.document(), parent);
    default:
        return nullptr;
    }
}

#include "shell/screens.h"

#include "model/navigation_ids.h"
#include "screens/add_count_view.h"
#include "screens/delivered_prod_view.h"
#include "screens/out_scan_pool_view.h"
#include "screens/packing_note_info_view.h"
#include "screens/placeholder_view.h"
#include "screens/setting_view.h"
#include "shell/korvo_form_view.h"
#include "shell/main_frame.h"

KorvoView* CreateScreen(int screenId, CMainFrame& frame, QWidget* parent) {
    switch (screenId) {
    case kStartScreen:
        return new CKorvoFormView(frame, parent);
    case kSettingScreen:
        return new CSettingView(frame, frame.document(), parent);
    case kPackingNoteInfoScreen:
        return new CPackingNoteInfoView(frame, frame.document(), parent);
    case kDeliveredProdScreen:
        return new CDeliveredProdView(frame, frame.document(), parent);
    case kOutScanPoolScreen:
        return new COutScanPoolView(frame, frame.document(), parent);
    case kAddCountScreen:
        return new CAddCountView(frame, frame.document(), parent);
    default:
        if (screenId > kSettingScreen && screenId < kScreenCount) {
            return new CPlaceholderView(frame, frame.document(), screenId, parent);
        }
        return nullptr;
    }
}

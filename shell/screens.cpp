#include "shell/screens.h"

#include "model/navigation_ids.h"
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
    default:
        if (screenId > kSettingScreen && screenId < kScreenCount) {
            return new CPlaceholderView(frame, frame.document(), screenId, parent);
        }
        return nullptr;
    }
}

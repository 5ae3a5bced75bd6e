#include "shell/screens.h"

#include "model/navigation_ids.h"
#include "shell/korvo_form_view.h"
#include "shell/main_frame.h"

KorvoView* CreateScreen(int screenId, CMainFrame& frame, QWidget* parent) {
    switch (screenId) {
    case kStartScreen:
        return new CKorvoFormView(frame, parent);
    default:
        return nullptr;
    }
}

#include "frame_fixture.h"

#include "placeholder_view.h"
#include "shell/korvo_app.h"
#include "shell/screens.h"

#include <QApplication>
#include <QMenu>

KorvoView* PlaceholderScreens(int screenId, CMainFrame& frame, QWidget* parent) {
    if (screenId == kStartScreen || screenId == kSettingScreen) {
        return CreateScreen(screenId, frame, parent);
    }
    if (screenId > kSettingScreen && screenId < kScreenCount) {
        return new CPlaceholderView(frame, frame.document(), screenId, parent);
    }
    return nullptr;
}

void PrepareTestDevice(TestDevice& device, const QByteArray& settingsFile) {
    ApplyDeviceLook(*qApp);
    device.fs().installMissingFiles(QStringLiteral(KORVANE_SOURCE_DIR "/resources/translations"),
                                    QStringLiteral("\\Program Files\\Korvo"));
    if (!settingsFile.isEmpty()) {
        device.write(QStringLiteral("\\Program Files\\Korvo\\Korvo.properties"), settingsFile);
    }
}

CMainFrame::ScreenFactory ProgramScreens() {
    return CreateScreen;
}

QStringList ActionMenuTexts(const CMainFrame& frame) {
    QStringList texts;
    for (QAction* action : frame.menu(CMainFrame::ActionsMenu)->actions()) {
        texts << action->text();
    }
    return texts;
}

#include "fake_frame.h"

#include "model/korvo_doc.h"
#include "widgets/korvo_view.h"

#include <QTest>

namespace {
// The main frame's title strip and menu bar, which the client area sits between.
constexpr int kStripHeight = 26;
} // namespace

FakeFrame::FakeFrame(CKorvoDoc& doc, BackOffice& office, QSize screen)
    : doc_(doc), office_(office) {
    geometry_.width = screen.width();
    geometry_.height = screen.height();
    geometry_.menuBarHeight = kStripHeight;
    setFixedSize(screen);
    client_ = new QWidget(this);
    client_->setGeometry(0, kStripHeight, screen.width(), screen.height() - 2 * kStripHeight);
}

void FakeFrame::showScreen(KorvoView* screen) {
    show();
    // Focus changes reach the fields (keyboard, selection) only in the active window.
    if (!isActiveWindow()) {
        activateWindow();
        (void)QTest::qWaitForWindowActive(this);
    }
    screen->show();
    screen->activate();
    screen->focusFirstControl();
}

bool FakeFrame::actionEnabled(int screenId, int position) const {
    const auto& row = doc_.actionMenus.row(screenId);
    return position >= 0 && position < static_cast<int>(row.size()) &&
           row[static_cast<size_t>(position)].enabled;
}

QString FakeFrame::Translate(const QString& key) const {
    return doc_.T(key);
}

void FakeFrame::LayoutScreen(QWidget* screen, const std::array<int, 6>& buttonIds, int titleHeight,
                             int gap) {
    LayoutScreenControls(screen, geometry_, buttonIds, titleHeight, gap);
}

void FakeFrame::SetActionEnabled(bool enabled, QWidget* button, int screenId, int position) {
    if (button != nullptr) {
        button->setEnabled(enabled);
    }
    auto& row = doc_.actionMenus.row(screenId);
    if (position >= 0 && position < static_cast<int>(row.size())) {
        row[static_cast<size_t>(position)].enabled = enabled;
    }
}

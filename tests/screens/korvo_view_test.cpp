// What every screen shares: keys before the controls, Enter on a focused
// button, the shared title and layout, and no silent success.
#include "config/log.h"
#include "screen_fixture.h"
#include "widgets/colour_widgets.h"
#include "widgets/control_ids.h"
#include "widgets/image_button.h"
#include "widgets/korvo_view.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

namespace {

class TestView : public KorvoView {
public:
    TestView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
        : KorvoView(frame, doc, kRouteScreen, parent) {
        field = new QLineEdit(this);
        field->setObjectName("field");
        button = new CImageButton(this);
        button->setFocusPolicy(Qt::StrongFocus);
        SetControlId(button, 1201);
        connect(button, &QAbstractButton::clicked, this, [this] { ++clicks; });
    }
    void activate() override {
        setTitle("Routes");
        layoutButtons({1201, 0, 0, 0, 0, 0});
        field->setFocus();
    }
    bool handleKey(QKeyEvent* event) override {
        keys << event->key();
        return event->key() == Qt::Key_Return && consumeEnter;
    }

    QLineEdit* field;
    CImageButton* button;
    QList<int> keys;
    int clicks = 0;
    bool consumeEnter = true;
};

class KorvoViewTest : public ScreenFixture {};

TEST_F(KorvoViewTest, KeysReachTheScreenOnceAndBeforeItsControls) {
    TestView* view = open<TestView>();
    ASSERT_EQ(focused(), view->field);
    typeText("12");
    EXPECT_EQ(view->field->text(), "12");
    press(Qt::Key_Return);
    EXPECT_EQ(view->keys, QList<int>({Qt::Key_1, Qt::Key_2, Qt::Key_Return}));
    // A key the screen leaves alone and the field ignores travels up unseen again.
    view->keys.clear();
    view->consumeEnter = false;
    press(Qt::Key_Return);
    EXPECT_EQ(view->keys, QList<int>({Qt::Key_Return}));
}

TEST_F(KorvoViewTest, EnterPressesTheFocusedButton) {
    TestView* view = open<TestView>();
    press(Qt::Key_Tab);
    ASSERT_EQ(focused(), view->button);
    press(Qt::Key_Return);
    EXPECT_EQ(view->clicks, 1);
    EXPECT_EQ(view->keys, QList<int>({Qt::Key_Tab})) << "the button's Enter is not the screen's";
    view->button->setEnabled(false);
    view->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(view->clicks, 1);
}

TEST_F(KorvoViewTest, TitleAndButtonRowAreLaidOutAlike) {
    TestView* view = open<TestView>();
    EXPECT_EQ(view->titleLabel()->text(), "Routes");
    EXPECT_EQ(view->titleLabel()->geometry(), QRect(0, 0, 240, 20));
    EXPECT_EQ(view->button->geometry(), QRect(1, 224, 38, 38));
    EXPECT_EQ(view->bottomBand()->geometry().top(), 221);
}

TEST_F(KorvoViewTest, AnOperationTheScreenDoesNotKnowFails) {
    device.mkdir("\\Korvo_XML\\Log");
    TestView* view = open<TestView>();
    EXPECT_EQ(view->runOperation(ScreenOperation::HoldNote), Result::NotOk);
    EXPECT_TRUE(device.exists(LogFilePath("")));
}

} // namespace

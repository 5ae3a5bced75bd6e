// A hung back office no longer freezes the handheld: the screen repaints, a
// status line counts the seconds, Escape held (or Cancel) abandons the
// exchange exactly like a time-out, and nothing reaches the screen meanwhile.
#include "config/log.h"
#include "frame_fixture.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "service/service_transport.h"
#include "shell/korvo_app.h"
#include "shell/main_frame.h"
#include "shell/qt_prompter.h"
#include "shell/screens.h"
#include "test_device.h"
#include "widgets/image_button.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

class ExchangeWait : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareTestDevice(device,
                          "HostIP=127.0.0.1\nPortNumber=" + QByteArray::number(office.port()) +
                              "\nOperatingMode=ROUTEMODE\n");
        office.hang("KORVANESETTINGS");
        prompter.setExchangeStatusDelay(300ms);
        prompter.setEscapeHoldTime(300ms);
        frame.setScreenFactory(CreateScreen);
        frame.showFirstScreen(kStartScreen);
        frame.show();
        frame.FillActionMenu(kStartScreen);
    }

    void TearDown() override {
        office.release();
        ServiceTransport::instance().Disconnect();
        ServiceTransport::instance().setCallTimeout(ServiceTransport::kDefaultCallTimeout);
    }

    // Runs Start and answers the error box it ends with; the box's caption and
    // text, and how long Start took.
    struct Outcome {
        QString caption;
        QString text;
        qint64 milliseconds = 0;
    };
    Outcome start() {
        Outcome outcome;
        QTimer closer;
        closer.setInterval(20);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                outcome.caption = box->windowTitle();
                outcome.text = box->text();
                box->accept();
            }
        });
        closer.start();
        QElapsedTimer clock;
        clock.start();
        frame.SwitchScreen(Cmd::Start);
        outcome.milliseconds = clock.elapsed();
        return outcome;
    }

    QString logWithoutTimes() const {
        QString log = QString::fromLatin1(device.read(LogFilePath(QString())));
        log.replace(QRegularExpression(" date/time : [^\n]*"), QString());
        return log;
    }

    LoopbackBackOffice office;
    TestDevice device;
    CKorvoDoc doc;
    CMainFrame frame{doc, QSize(240, 320)};
    QtPrompter prompter{&frame};
    ScopedPrompter scope{prompter};
};

} // namespace

TEST_F(ExchangeWait, EscapeHeldAbandonsLikeATimeOut) {
    // The reference: the same call running into its deadline.
    ServiceTransport::instance().setCallTimeout(600ms);
    const Outcome timedOut = start();
    const QString timedOutLog = logWithoutTimes();
    ASSERT_EQ(office.calls().size(), 1u);
    EXPECT_EQ(timedOut.text, doc.T("msgErrInt60"));
    office.clearRequests();

    // Now the deadline is far away and the worker gives up instead.
    ServiceTransport::instance().setCallTimeout(60s);
    PaintCounter counter;
    QWidget* screen = frame.currentScreen();
    screen->installEventFilter(&counter);
    auto* startButton = screen->findChild<CImageButton*>("startButton");
    ASSERT_NE(startButton, nullptr);

    QString statusText;
    int paintsWhileWaiting = 0;
    QTimer::singleShot(450, [&] {
        const auto* status = frame.findChild<QLabel*>("exchangeStatusText");
        statusText = status && status->isVisible() ? status->text() : QString("<no status>");
        // Nothing of the screen can be touched: a second Start is not sent.
        QTest::mouseClick(startButton, Qt::LeftButton);
        QTest::keyClick(screen, Qt::Key_Return);
        screen->update();
    });
    QTimer::singleShot(550, [&] { QTest::keyPress(screen, Qt::Key_Escape); });
    QTimer::singleShot(700, [&] { paintsWhileWaiting = counter.paints; });
    const Outcome abandoned = start();
    QTest::keyRelease(screen, Qt::Key_Escape);

    EXPECT_TRUE(statusText.startsWith("Waiting for the answer: 0 s")) << statusText.toStdString();
    EXPECT_GT(paintsWhileWaiting, 0) << "the screen repaints during the wait";
    EXPECT_GE(abandoned.milliseconds, 800);
    EXPECT_LT(abandoned.milliseconds, 5000);
    EXPECT_EQ(abandoned.caption, timedOut.caption);
    EXPECT_EQ(abandoned.text, doc.T("msgExchangeCancelled")) << "cancelled, not timed out";
    // The abandoned call logs as much as the time-out did, saying it was cancelled.
    const QString log = logWithoutTimes();
    ASSERT_TRUE(log.startsWith(timedOutLog)) << log.toStdString();
    const QString added = log.mid(timedOutLog.size());
    EXPECT_EQ(added.count('\n'), timedOutLog.count('\n')) << log.toStdString();
    EXPECT_TRUE(added.contains("cancelled")) << log.toStdString();
    EXPECT_EQ(office.calls().size(), 1u) << "exactly one request reached the server";
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
    EXPECT_EQ(frame.findChild<QWidget*>("exchangeStatus"), nullptr) << "the status line is gone";
}

TEST_F(ExchangeWait, CancelOnTheStatusLineAbandons) {
    ServiceTransport::instance().setCallTimeout(60s);
    QTimer::singleShot(500, [&] {
        auto* cancel = frame.findChild<QPushButton*>("exchangeCancel");
        if (cancel != nullptr) {
            QTest::mouseClick(cancel, Qt::LeftButton);
        }
    });
    const Outcome abandoned = start();
    EXPECT_LT(abandoned.milliseconds, 5000);
    EXPECT_EQ(abandoned.text, doc.T("msgExchangeCancelled"));
    EXPECT_EQ(office.calls().size(), 1u);
}

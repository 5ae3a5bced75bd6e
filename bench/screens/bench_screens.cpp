// The work screens against their floors, side by side in each iteration:
// - a note with 2,000 lines on the delivered-products screen against a bare
//   QTreeWidget filled with the same rows (goal: at most 2x);
// - repainting the visible page of the list with 20, 2,000 and 20,000 lines
//   (the cost must not grow with the lines);
// - a pool scan answered on loopback until the screen shows it, against the
//   same exchange done with plain libcurl as the service benchmark does it
//   (goal: at most 1.5x).
#include "bench_device.h"
#include "bench_ratio.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "plain_exchange.h"
#include "platform/device_file_system.h"
#include "platform/prompter.h"
#include "screens/delivered_prod_view.h"
#include "screens/out_scan_pool_view.h"
#include "service/back_office.h"
#include "service/messages/pool_scan_message.h"
#include "service/service_transport.h"
#include "widgets/colour_widgets.h"
#include "widgets/editable_list.h"
#include "widgets/layout_screen.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <curl/curl.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Shows nothing: the benchmarks measure the screens, not dialogs.
class SilentPrompter final : public Prompter {
public:
    int messageBox(const MessageBoxRequest&) override { return IdOk; }
    void statusPopup(const QString&, const QString&) override {}
    void setWaitCursor(bool) override {}
    void setInputPanel(bool) override {}
    DialogAnswer questionDialog(const QuestionRequest&) override { return DialogAnswer::First; }
    DialogAnswer colourMessageDialog(const QuestionRequest&) override {
        return DialogAnswer::First;
    }
    DialogAnswer instructionDialog(const InstructionRequest&) override {
        return DialogAnswer::First;
    }
    std::optional<int> colliCountDialog(const ColliCountRequest&) override { return std::nullopt; }
    bool passwordDialog(const PasswordRequest&,
                        const std::function<bool(const QString&)>&) override {
        return false;
    }
};

// The frame around one screen, as the main frame lays it out.
class BenchFrame final : public ScreenFrame {
public:
    BenchFrame(CKorvoDoc& doc, BackOffice& office) : doc_(doc), office_(office) {
        host.resize(240, 320);
        host.show();
    }
    bool SwitchScreen(int) override { return false; }
    QString Translate(const QString& key) const override { return doc_.T(key); }
    void LayoutScreen(QWidget* screen, const std::array<int, 6>& ids, int titleHeight,
                      int gap) override {
        LayoutScreenControls(screen, geometry_, ids, titleHeight, gap);
    }
    void HandleSettingChange(QWidget*) override {}
    void SetActionEnabled(bool enabled, QWidget* button, int, int) override {
        if (button != nullptr) {
            button->setEnabled(enabled);
        }
    }
    void RemoveActionEntry(int) override {}
    BackOffice& backOffice() override { return office_; }
    int screenWidth() const override { return geometry_.width; }
    int screenHeight() const override { return geometry_.height; }
    int menuBarHeight() const override { return geometry_.menuBarHeight; }

    QWidget host;

private:
    CKorvoDoc& doc_;
    BackOffice& office_;
    ScreenGeometry geometry_;
};

struct Bench {
    SilentPrompter prompter;
    ScopedPrompter prompterScope{prompter};
    BenchDevice device;
    CKorvoDoc doc;
    ServiceBackOffice office{doc};
    BenchFrame frame{doc, office};

    Bench() {
        Settings& settings = doc.currentSettings.emplace();
        settings.OPI = true;
        settings.DNC = 1;
        settings.DNPP = 1;
        PackingNote& note = doc.currentPackingNote.emplace();
        note.PNID = 345;
        note.NNR = QStringLiteral("20240305-0412");
    }
    void lines(int count) {
        auto& all = doc.packingNoteLines.emplace().lines;
        all.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            packingnoteline& line = all[static_cast<std::size_t>(i)];
            line.PNLID = 1000 + i;
            line.PD = QStringLiteral("Product %1 red 60 cm").arg(i);
            line.QO = 10 + i % 7;
            line.QD = 10 + i % 5;
            line.parsedQuantity = line.QD;
        }
    }
};

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

QTreeWidget* bareTree(QWidget* parent, const std::vector<packingnoteline>& lines) {
    auto* tree = new QTreeWidget(parent);
    tree->setGeometry(0, 20, 240, 145);
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setHeaderLabels(
        {QStringLiteral("Product"), QStringLiteral("To del."), QStringLiteral("Deliv.")});
    for (const auto& [column, width] : {std::pair{0, 108}, {1, 63}, {2, 49}}) {
        tree->setColumnWidth(column, width);
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(lines.size()));
    for (const packingnoteline& line : lines) {
        items << new QTreeWidgetItem({line.PD, QString::number(line.QO), QString::number(line.QD)});
    }
    tree->addTopLevelItems(items);
    tree->setCurrentItem(tree->topLevelItem(0));
    tree->show();
    return tree;
}

double g_fillRatio = 0;

// The screen from creation to its first painted page, and the bare list the same.
void BM_DeliveredVersusBareTree(benchmark::State& state) {
    Bench bench;
    bench.lines(static_cast<int>(state.range(0)));
    std::vector<double> screen;
    std::vector<double> bare;
    for (auto _ : state) {
        const auto a = Clock::now();
        auto* view = new CDeliveredProdView(bench.frame, bench.doc, &bench.frame.host);
        view->show();
        view->activate();
        benchmark::DoNotOptimize(view->grab());
        const auto b = Clock::now();
        delete view;
        const auto c = Clock::now();
        QTreeWidget* tree = bareTree(&bench.frame.host, bench.doc.packingNoteLines->lines);
        benchmark::DoNotOptimize(tree->grab());
        const auto d = Clock::now();
        delete tree;
        screen.push_back(std::chrono::duration<double, std::milli>(b - a).count());
        bare.push_back(std::chrono::duration<double, std::milli>(d - c).count());
    }
    state.counters["screen_ms"] = median(screen);
    state.counters["bare_tree_ms"] = median(bare);
    g_fillRatio = median(screen) / median(bare);
    state.counters["ratio"] = g_fillRatio;
}

// One repaint of the visible page; the figure must not grow with the lines.
void BM_RepaintVisiblePage(benchmark::State& state) {
    Bench bench;
    bench.lines(static_cast<int>(state.range(0)));
    auto* view = new CDeliveredProdView(bench.frame, bench.doc, &bench.frame.host);
    view->show();
    view->activate();
    auto* list = view->findChild<CEditableList*>(QStringLiteral("lines"));
    list->scrollTo(list->model()->index(list->rowCount() / 2, 0));
    // Rendering into a picture paints every visible cell, exposed window or not.
    QPixmap page(list->viewport()->size());
    for (auto _ : state) {
        list->viewport()->render(&page);
    }
    delete view;
}

const QString kPoolAnswer = QStringLiteral(
    "<KorvanePackingNoteContainerResponse><PackingNote_ID>345</PackingNote_ID>"
    "<StatusCode>30</StatusCode><UniqueItem_ID>0</UniqueItem_ID><UniqueBundle_ID>0</"
    "UniqueBundle_ID><Flag/><packingnoteline><l PNLID=\"12\" QO=\"10\" QD=\"5\" MINQ=\"0\" "
    "MAXQ=\"0\" SB=\"1\"/></packingnoteline><Product><p PC=\"P12\" PD=\"Tulips\" SD=\"60 cm\" "
    "FMD=\"red\"/></Product></KorvanePackingNoteContainerResponse>");

LoopbackBackOffice& server() {
    static LoopbackBackOffice office;
    static const bool scripted = [] {
        office.answer("", kPoolAnswer);
        return true;
    }();
    (void)scripted;
    return office;
}

// Answers a pool scan at once, as the parser would fill the work state: what is
// left is the screen's own work per scan.
class InstantOffice final : public BackOffice {
public:
    explicit InstantOffice(CKorvoDoc& doc) : doc_(doc) {}
    int settings(bool, const QString&) override { return 0; }
    int route() override { return 0; }
    int packingNoteList(NoteListKind) override { return 0; }
    EmployeeAnswer employee(std::int32_t) override { return {}; }
    SendResult packingNote(NoteAction, const QString&) override { return SendResult::ok(); }
    SendResult packingNoteContainer(const QString&) override { return SendResult::ok(); }
    SendResult packingNoteLines() override { return SendResult::ok(); }
    SendResult containerScan(const QString&) override { return SendResult::ok(); }
    SendResult deliveredQuantity(QuantityPurpose) override { return SendResult::ok(); }
    SendResult poolScan(const QString&, std::int32_t, std::int32_t, std::int32_t) override {
        PoolScanResult& result = doc_.poolScanResult.emplace();
        result.StatusCode = kAccepted;
        packingnoteline& line = result.line.emplace();
        line.PNLID = 12;
        line.QO = 10;
        line.QD = 5;
        return SendResult::ok();
    }
    SendResult count() override { return SendResult::ok(); }
    SendResult print(std::uint16_t, int) override { return SendResult::ok(); }
    SendResult process() override { return SendResult::ok(); }

private:
    const QString kAccepted = QStringLiteral("30");
    CKorvoDoc& doc_;
};

void enter(QWidget* field) {
    // A key as the scanner gives it: press and release.
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(field, &press);
    QApplication::sendEvent(field, &release);
}

void BM_PoolScanScreenOnly(benchmark::State& state) {
    Bench bench;
    InstantOffice instant(bench.doc);
    BenchFrame frame(bench.doc, instant);
    bench.lines(3);
    bench.doc.currentLine = bench.doc.packingNoteLines->lines[2];
    bench.doc.currentLine->PNLID = 12;
    auto* view = new COutScanPoolView(frame, bench.doc, &frame.host);
    view->show();
    view->activate();
    CColourEdit* scan = view->scanField();
    for (auto _ : state) {
        scan->setText(QStringLiteral("B1"));
        enter(scan);
    }
    delete view;
}

double g_poolRatio = 0;
double g_poolServiceRatio = 0;

// A scan typed and entered on the out-scan pool until the screen shows the
// answer, against plain libcurl and against the service call alone.
void BM_PoolScanVersusRoundTrip(benchmark::State& state) {
    Bench bench;
    bench.doc.hostIp = server().host();
    bench.doc.portNumber = server().portText();
    bench.doc.webServicePath = QStringLiteral("qvr");
    bench.lines(3);
    bench.doc.currentLine = bench.doc.packingNoteLines->lines[2];
    bench.doc.currentLine->PNLID = 12;
    auto* view = new COutScanPoolView(bench.frame, bench.doc, &bench.frame.host);
    view->show();
    view->activate();
    CColourEdit* scan = view->scanField();
    auto* toDo = view->findChild<QLabel*>(QStringLiteral("toDo"));

    PoolScanMessage message(bench.doc, false);
    message.setScan(QStringLiteral("B1"), 0, 0, 0);
    message.CallService(ApplicationVersion, QStringLiteral("qvr"), false);
    const std::string envelope = message.envelope().complete().toLatin1().toStdString();
    const std::string url =
        "http://127.0.0.1:" + std::to_string(server().port()) + "/qvr/QVRGenericWebService?WSDL";
    ServiceTransport::instance().Disconnect();
    std::string answer;

    std::vector<double> screen;
    std::vector<double> service;
    std::vector<double> plain;
    int turn = 0;
    bool failed = false;
    for (auto _ : state) {
        // The three take turns at going first, so that none always follows another.
        double spent[3] = {};
        for (int k = 0; k < 3; ++k) {
            const int which = (k + turn) % 3;
            if (which == 0) {
                toDo->clear();
                scan->setText(QStringLiteral("B1"));
                scan->setFocus();
            }
            const auto start = Clock::now();
            if (which == 0) {
                enter(scan); // the screen holds the answer; Qt paints it with the next frame
            } else if (which == 1) {
                PoolScanMessage bare(bench.doc, false);
                bare.setScan(QStringLiteral("B1"), 0, 0, 0);
                failed = failed ||
                         bare.CallService(ApplicationVersion, QStringLiteral("qvr"), false) != 0;
            } else {
                PlainExchange(url, envelope, answer);
            }
            spent[which] = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
            if (which == 0 && toDo->text() != QLatin1String("5")) {
                failed = true;
            }
        }
        ++turn;
        if (failed) {
            state.SkipWithError("a scan or call failed");
            break;
        }
        screen.push_back(spent[0]);
        service.push_back(spent[1]);
        plain.push_back(spent[2]);
    }
    delete view;
    ServiceTransport::instance().Disconnect();
    server().clearRequests();
    state.counters["screen_us"] = median(screen);
    state.counters["service_call_us"] = median(service);
    state.counters["plain_curl_us"] = median(plain);
    g_poolRatio = median(screen) / std::max(1e-9, median(plain));
    g_poolServiceRatio = median(screen) / std::max(1e-9, median(service));
    state.counters["ratio"] = g_poolRatio;
}

BENCHMARK(BM_DeliveredVersusBareTree)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_RepaintVisiblePage)
    ->Arg(20)
    ->Arg(2000)
    ->Arg(20000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_PoolScanScreenOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PoolScanVersusRoundTrip)->Unit(benchmark::kMicrosecond)->Iterations(1000);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setFont(ArialFont(12, false));
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const int status = RunWithRatios(
        argc, argv,
        {{"BM_RepaintVisiblePage/20000/real_time", "BM_RepaintVisiblePage/20/real_time", 1.5}});
    if (g_fillRatio > 0) {
        std::printf("ratio delivered-products screen / bare QTreeWidget, 2000 lines (medians) = "
                    "%.2f (goal <= 2.0) %s\n",
                    g_fillRatio, g_fillRatio <= 2.0 ? "met" : "NOT MET");
    }
    if (g_poolRatio > 0) {
        std::printf("ratio pool scan on the screen / plain libcurl round trip (medians) = %.2f "
                    "(goal <= 1.5) %s\n",
                    g_poolRatio, g_poolRatio <= 1.5 ? "met" : "NOT MET");
        std::printf("ratio pool scan on the screen / the service call alone (medians) = %.2f\n",
                    g_poolServiceRatio);
    }
    return status;
}

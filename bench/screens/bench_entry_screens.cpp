// The entry screens against what Qt does anyway: a route list of 500 routes and
// a packing-note list of 5,000 notes on screen, each beside a bare QTreeWidget
// filled with the same rows; and an 18-digit scanner burst into the route scan
// screen's note field beside the same burst into a bare QLineEdit, counting
// what the screen adds per keystroke (allocations, requests).
#include "bench_ratio.h"
#include "fake_frame.h"
#include "model/entry_rules.h"
#include "model/korvo_doc.h"
#include "recording_back_office.h"
#include "screens/packing_notes_view.h"
#include "screens/route_selection_view.h"
#include "screens/scan_pn_or_container_view.h"
#include "scripted_prompter.h"
#include "test_device.h"
#include "widgets/colour_widgets.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

// Every heap allocation of the process is counted: Qt's text buffers come from
// malloc, not operator new. glibc lets a program put its own malloc in front
// of the library's.
namespace {
std::atomic<long> g_allocations{0};
}
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void __libc_free(void* pointer);

void* malloc(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}
void free(void* pointer) {
    __libc_free(pointer);
}
}

namespace {

constexpr int kRoutes = 500;
constexpr int kNotes = 5000;
const QString kBurst = QStringLiteral("123456789012345678");

struct Fixture {
    TestDevice device;
    ScriptedPrompter prompter;
    ScopedPrompter scope{prompter};
    CKorvoDoc doc;
    RecordingBackOffice office{doc};
    FakeFrame frame{doc, office};

    Fixture() {
        Settings settings;
        settings.ACS = true;
        settings.DNPP = 1;
        doc.currentSettings = settings;
        for (int i = 0; i < kRoutes; ++i) {
            doc.routes.push_back({1000 + i, i + 1, QStringLiteral("Route description %1").arg(i),
                                  i % 17, i % 5, i % 11});
        }
        for (int i = 0; i < kNotes; ++i) {
            PackingNote note;
            note.PNID = 50000 + i;
            note.NNR = QString::number(400000000 + i);
            note.CN = QStringLiteral("Customer number %1").arg(i);
            note.SP = i % 3 == 0;
            doc.packingNoteList.push_back(note);
        }
        doc.currentRoute = doc.routes.front();
    }
};

// Made on first use, gone before the application: its widgets must not outlive it.
std::unique_ptr<Fixture> g_fixture;
std::unique_ptr<QWidget> g_bareWindow;

Fixture& fixture() {
    if (!g_fixture) {
        g_fixture = std::make_unique<Fixture>();
    }
    return *g_fixture;
}

// On screen: what the show left pending (a list lays its rows out and shows its
// scroll bars on a zero timer) is done, then the whole window is painted.
void paintNow(QWidget& window) {
    QApplication::processEvents();
    window.repaint();
}

// The screen created, shown, filled and painted, then gone.
template <typename View> void screenOnce(Fixture& f) {
    auto* view = new View(f.frame, f.doc, f.frame.client());
    f.frame.showScreen(view);
    paintNow(f.frame);
    delete view;
}

// A bare list with the same rows, created, shown and painted in a window of
// the same size that stays, as the frame does for the screens, then gone.
void bareOnce(const QStringList& headers, const QList<double>& widths,
              const QList<QStringList>& rows) {
    if (!g_bareWindow) {
        g_bareWindow = std::make_unique<QWidget>();
        g_bareWindow->resize(240, 320);
        g_bareWindow->show();
    }
    QWidget* window = g_bareWindow.get();
    auto* tree = new QTreeWidget(window);
    tree->setGeometry(0, 20, 240, 201);
    tree->setColumnCount(static_cast<int>(headers.size()));
    tree->setHeaderLabels(headers);
    // The screens' column widths, so that neither list scrolls sideways.
    for (int i = 0; i < widths.size(); ++i) {
        tree->setColumnWidth(i, static_cast<int>((tree->contentsRect().width() - 13) * widths[i]));
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const QStringList& row : rows) {
        items << new QTreeWidgetItem(row);
    }
    tree->addTopLevelItems(items);
    tree->show();
    paintNow(*window);
    delete tree;
}

QList<QStringList> routeRows(const CKorvoDoc& doc) {
    QList<QStringList> rows;
    for (const RouteControl& r : doc.routes) {
        rows << QStringList{RouteCaption(r), QString::number(r.QN), QString::number(r.QP)};
    }
    return rows;
}

QList<QStringList> noteRows(const CKorvoDoc& doc) {
    QList<QStringList> rows;
    for (const PackingNote& n : doc.packingNoteList) {
        rows << QStringList{n.NNR, n.CN};
    }
    return rows;
}

void BM_RouteScreen(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        screenOnce<CRouteSelectionView>(f);
    }
    state.counters["rows"] = kRoutes;
}

void BM_BareRouteTree(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        bareOnce({"Route", "New", "Busy"}, {0.46, 0.23, 0.30}, routeRows(f.doc));
    }
    state.counters["rows"] = kRoutes;
}

void BM_NotesScreen(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        f.doc.shownList = NoteListKind::New;
        screenOnce<CPackingNotesView>(f);
    }
    state.counters["rows"] = kNotes;
}

void BM_BareNotesTree(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        bareOnce({"Note", "Customer"}, {0.46, 0.53}, noteRows(f.doc));
    }
    state.counters["rows"] = kNotes;
}

// Both lists in one loop, alternating, so that a busy machine weighs on both alike.
void BM_SideBySide(benchmark::State& state) {
    Fixture& f = fixture();
    using Clock = std::chrono::steady_clock;
    double screen[2] = {};
    double bare[2] = {};
    for (auto _ : state) {
        auto t0 = Clock::now();
        screenOnce<CRouteSelectionView>(f);
        auto t1 = Clock::now();
        bareOnce({"Route", "New", "Busy"}, {0.46, 0.23, 0.30}, routeRows(f.doc));
        auto t2 = Clock::now();
        f.doc.shownList = NoteListKind::New;
        screenOnce<CPackingNotesView>(f);
        auto t3 = Clock::now();
        bareOnce({"Note", "Customer"}, {0.46, 0.53}, noteRows(f.doc));
        auto t4 = Clock::now();
        screen[0] += std::chrono::duration<double>(t1 - t0).count();
        bare[0] += std::chrono::duration<double>(t2 - t1).count();
        screen[1] += std::chrono::duration<double>(t3 - t2).count();
        bare[1] += std::chrono::duration<double>(t4 - t3).count();
    }
    state.counters["routes_ratio"] = screen[0] / bare[0];
    state.counters["notes_ratio"] = screen[1] / bare[1];
    std::printf("side by side: 500 routes %.2fx, 5000 notes %.2fx the bare list (goal <= 2)\n",
                screen[0] / bare[0], screen[1] / bare[1]);
}

// What one burst costs, and how many allocations it made, per keystroke.
struct BurstCost {
    double allocationsPerKey = 0;
    double microseconds = 0; // per burst
};
BurstCost g_screenBurst;
BurstCost g_bareBurst;

void burst(benchmark::State& state, QLineEdit* field, BurstCost& cost) {
    long allocations = 0;
    long keys = 0;
    double seconds = 0;
    for (auto _ : state) {
        field->clear();
        const long before = g_allocations.load(std::memory_order_relaxed);
        const auto start = std::chrono::steady_clock::now();
        QTest::keyClicks(field, kBurst);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
        keys += kBurst.size();
        if (field->text() != kBurst) {
            state.SkipWithError("the burst did not arrive");
            return;
        }
    }
    cost.allocationsPerKey = keys ? double(allocations) / double(keys) : 0;
    cost.microseconds = state.iterations() ? seconds * 1e6 / double(state.iterations()) : 0;
    state.counters["allocs_per_key"] = cost.allocationsPerKey;
}

void BM_ScanBurstIntoTheScreen(benchmark::State& state) {
    Fixture& f = fixture();
    auto* view = new CScanPnOrContainerView(f.frame, f.doc, f.frame.client());
    f.frame.showScreen(view);
    auto* field = view->findChild<QLineEdit*>(QStringLiteral("noteNumber"));
    f.office.clear();
    burst(state, field, g_screenBurst);
    state.counters["requests"] = static_cast<double>(f.office.exchanges.size());
    delete view;
}

void BM_ScanBurstIntoABareField(benchmark::State& state) {
    QWidget window;
    window.resize(240, 320);
    auto* field = new QLineEdit(&window);
    field->setGeometry(90, 24, 146, 26);
    window.show();
    window.activateWindow();
    (void)QTest::qWaitForWindowActive(&window);
    field->setFocus();
    burst(state, field, g_bareBurst);
}

BENCHMARK(BM_RouteScreen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareRouteTree)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NotesScreen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareNotesTree)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_ScanBurstIntoTheScreen)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ScanBurstIntoABareField)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setFont(ArialFont(12, false));
    const int status =
        RunWithRatios(argc, argv,
                      {{"BM_RouteScreen/real_time", "BM_BareRouteTree/real_time", 2.0},
                       {"BM_NotesScreen/real_time", "BM_BareNotesTree/real_time", 2.0}});
    std::printf("scan burst: %.2f allocations per key into the screen's field, %.2f into a bare "
                "field: %.2f added by the screen (goal 0)\n",
                g_screenBurst.allocationsPerKey, g_bareBurst.allocationsPerKey,
                g_screenBurst.allocationsPerKey - g_bareBurst.allocationsPerKey);
    std::printf("scan burst of 18 digits into the screen: %.0f us (goal < 5000 us), %s\n",
                g_screenBurst.microseconds, g_screenBurst.microseconds < 5000 ? "met" : "NOT MET");
    g_bareWindow.reset();
    g_fixture.reset();
    return status;
}

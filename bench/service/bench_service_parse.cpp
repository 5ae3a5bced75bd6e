// Evaluation plus parsing of a packing-note-line answer against the floor of
// pugixml alone reading the same lines into plain structs.
#include "bench_device.h"
#include "bench_ratio.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "platform/device_file_system.h"
#include "service/messages/packing_note_line_message.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <pugixml.hpp>

namespace {

std::string lineDocument(int lines) {
    std::string text = R"(<KorvanePackingNoteLineResponse PackingNote_ID="345" StatusCode="20">)"
                       "<packingnoteline>";
    char line[320];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line,
                      R"(<l PNLID="%d" PS="1" PC="P%06d" PD="Product %d &amp; fittings" )"
                      R"(SD="Pallet" FMD="2024-03-05" QO="%d" QD="%d" MINQ="0" MAXQ="%d"/>)",
                      100000 + i, i, i, i % 50 + 1, i % 40, i % 50 + 10);
        text += line;
    }
    return text + "</packingnoteline></KorvanePackingNoteLineResponse>";
}

void BM_EvaluateAndParse(benchmark::State& state) {
    BenchDevice device;
    const QString answer = QString::fromStdString(
        LoopbackBackOffice::SoapAnswer(QString::fromStdString(lineDocument(int(state.range(0))))));
    CKorvoDoc doc;
    for (auto _ : state) {
        state.PauseTiming();
        QString text = answer; // the transport hands over a text of its own
        text.detach();
        state.ResumeTiming();
        PackingNoteLineMessage message(doc, false);
        message.EvaluateResponse(std::move(text), message.ResponseDumpPath(), QString(), false);
        benchmark::DoNotOptimize(doc.packingNoteLines->lines.data());
    }
    if (doc.packingNoteLines->lines.size() != size_t(state.range(0))) {
        state.SkipWithError("lines were lost");
    }
}

struct PlainLine {
    int PNLID, PS;
    std::string PC, PD, SD, FMD;
    int QO, QD, MINQ, MAXQ;
};

void BM_PugixmlFloor(benchmark::State& state) {
    const std::string document =
        "<returnValue>" + lineDocument(int(state.range(0))) + "</returnValue>";
    std::vector<PlainLine> lines;
    for (auto _ : state) {
        pugi::xml_document xml;
        xml.load_buffer(document.data(), document.size());
        lines.clear();
        const pugi::xml_node list =
            xml.document_element().child("KorvanePackingNoteLineResponse").child("packingnoteline");
        for (pugi::xml_node l = list.first_child(); l; l = l.next_sibling()) {
            lines.push_back(
                {std::atoi(l.attribute("PNLID").value()), std::atoi(l.attribute("PS").value()),
                 l.attribute("PC").value(), l.attribute("PD").value(), l.attribute("SD").value(),
                 l.attribute("FMD").value(), std::atoi(l.attribute("QO").value()),
                 std::atoi(l.attribute("QD").value()), std::atoi(l.attribute("MINQ").value()),
                 std::atoi(l.attribute("MAXQ").value())});
        }
        benchmark::DoNotOptimize(lines.data());
    }
}

BENCHMARK(BM_EvaluateAndParse)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PugixmlFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    return RunWithRatios(
        argc, argv,
        {{"BM_EvaluateAndParse/10000/real_time", "BM_PugixmlFloor/10000/real_time", 3.0},
         {"BM_EvaluateAndParse/100000/real_time", "BM_PugixmlFloor/100000/real_time", 3.0}});
}

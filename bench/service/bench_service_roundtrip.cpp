// A non-interactive CallService round trip against the same network work done
// with plain libcurl: a connection check, then the probe and the call on one
// fresh handle.
#include "bench_device.h"
#include "bench_ratio.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "plain_exchange.h"
#include "platform/device_file_system.h"
#include "service/messages/settings_message.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <curl/curl.h>
#include <vector>

namespace {

const QString kAnswer = QStringLiteral(
    "<KorvaneSettingsResponse><Settings ACS=\"true\" AORD=\"2\" MDID=\"77\"/>"
    "<Plant PID=\"9\" PN=\"North\"/><PlantDepartments><D PDIDS=\"1\" PDC=\"PK\" PDD=\"Packing\"/>"
    "</PlantDepartments></KorvaneSettingsResponse>");

LoopbackBackOffice& server() {
    static LoopbackBackOffice office;
    static const bool scripted = [] {
        office.answer("", kAnswer);
        return true;
    }();
    (void)scripted;
    return office;
}

CKorvoDoc& workState() {
    static CKorvoDoc doc;
    doc.hostIp = server().host();
    doc.portNumber = server().portText();
    doc.plantCode = "P1";
    doc.pdaCode = "D1";
    return doc;
}

void BM_CallService(benchmark::State& state) {
    BenchDevice device;
    CKorvoDoc& doc = workState();
    for (auto _ : state) {
        SettingsMessage message(doc, false);
        if (message.CallService(ApplicationVersion, "qvr", false) != 0) {
            state.SkipWithError("call failed");
            break;
        }
    }
    ServiceTransport::instance().Disconnect();
    server().clearRequests();
}

// The very bytes CallService sends, and where.
std::pair<std::string, std::string> plainTarget(CKorvoDoc& doc) {
    SettingsMessage message(doc, false);
    message.CallService(ApplicationVersion, "qvr", false);
    ServiceTransport::instance().Disconnect();
    return {"http://127.0.0.1:" + std::to_string(server().port()) +
                "/qvr/QVRGenericWebService?WSDL",
            message.envelope().complete().toLatin1().toStdString()};
}

void BM_PlainCurl(benchmark::State& state) {
    BenchDevice device;
    CKorvoDoc& doc = workState();
    const auto [url, envelope] = plainTarget(doc);
    std::string answer;
    for (auto _ : state) {
        PlainExchange(url, envelope, answer);
        benchmark::DoNotOptimize(answer.data());
    }
    server().clearRequests();
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double g_sideBySideRatio = 0;

// Both exchanges in turn within each iteration, so that whatever else the
// machine does weighs on both alike; the ratio of the medians is the figure.
void BM_SideBySide(benchmark::State& state) {
    BenchDevice device;
    CKorvoDoc& doc = workState();
    const auto [url, envelope] = plainTarget(doc);
    std::string answer;
    std::vector<double> call;
    std::vector<double> plain;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto a = Clock::now();
        SettingsMessage message(doc, false);
        if (message.CallService(ApplicationVersion, "qvr", false) != 0) {
            state.SkipWithError("call failed");
            break;
        }
        const auto b = Clock::now();
        PlainExchange(url, envelope, answer);
        const auto c = Clock::now();
        call.push_back(std::chrono::duration<double, std::micro>(b - a).count());
        plain.push_back(std::chrono::duration<double, std::micro>(c - b).count());
    }
    ServiceTransport::instance().Disconnect();
    server().clearRequests();
    if (!call.empty()) {
        state.counters["CallService_us"] = median(call);
        state.counters["plain_curl_us"] = median(plain);
        g_sideBySideRatio = median(call) / median(plain);
        state.counters["ratio"] = g_sideBySideRatio;
    }
}

BENCHMARK(BM_CallService)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PlainCurl)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SideBySide)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);

} // namespace

int main(int argc, char** argv) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // The separate runs give absolute figures; the ratio comes from the
    // interleaved one, which the machine's other work weighs on alike.
    const int status = RunWithRatios(argc, argv, {});
    if (g_sideBySideRatio > 0) {
        std::printf(
            "ratio CallService / plain libcurl, side by side (medians) = %.2f (goal <= 1.5) %s\n",
            g_sideBySideRatio, g_sideBySideRatio <= 1.5 ? "met" : "NOT MET");
    }
    return status;
}

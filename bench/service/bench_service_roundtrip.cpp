// A non-interactive CallService round trip against the same network work done
// with plain libcurl: a connection check, then the probe and the call on one
// fresh handle.
#include "bench_ratio.h"
#include "loopback_back_office.h"
#include "model/korvo_doc.h"
#include "platform/device_file_system.h"
#include "service/messages/settings_message.h"

#include <QTemporaryDir>
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

struct BenchDevice {
    QTemporaryDir dir{QStringLiteral("/dev/shm/korvane-bench-XXXXXX")};
    QTemporaryDir fallback;
    DeviceFileSystem fs{(dir.isValid() ? dir.path() : fallback.path())};
    ScopedDevice scope{fs};
    BenchDevice() {
        fs.createDirectory(QStringLiteral("\\Korvo_XML"));
        fs.createDirectory(QStringLiteral("\\Korvo_XML\\Log"));
    }
};

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

size_t collect(char* data, size_t size, size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

// The same network work with plain libcurl: a connection check, then the probe
// and the call on one fresh handle.
void plainExchange(const std::string& url, const std::string& envelope, std::string& answer) {
    CURL* check = curl_easy_init();
    curl_easy_setopt(check, CURLOPT_URL, url.c_str());
    curl_easy_setopt(check, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(check, CURLOPT_NOSIGNAL, 1L);
    curl_easy_perform(check);
    curl_easy_cleanup(check);

    CURL* easy = curl_easy_init();
    for (const char* action : {"SOAPAction: \"\"", "SOAPAction: \"processRequest\""}) {
        curl_slist* headers = nullptr;
        for (const char* line :
             {"Content-Type: text/xml; charset=ISO-8859-1", action, "Accept: text/xml",
              "Pragma: no-cache", "Connection: Keep-Alive"}) {
            headers = curl_slist_append(headers, line);
        }
        const bool probe = action[13] == '"' && action[14] == '"';
        answer.clear();
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, "CeHttp");
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, probe ? "" : envelope.c_str());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(probe ? 0 : envelope.size()));
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &answer);
        curl_easy_perform(easy);
        curl_slist_free_all(headers);
    }
    curl_easy_cleanup(easy);
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
        plainExchange(url, envelope, answer);
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
        plainExchange(url, envelope, answer);
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

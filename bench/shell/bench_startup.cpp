// Start-up time and peak memory of `korvo --screenshot` on the offscreen
// platform, beside a bare Qt window doing the same.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs a program to its end; returns its peak resident memory in kilobytes.
long runProcess(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (getenv("XDG_RUNTIME_DIR") == nullptr) {
            setenv("XDG_RUNTIME_DIR", "/tmp", 1);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

void report(benchmark::State& state, long peakKb) {
    if (peakKb < 0) {
        state.SkipWithError("the program failed");
    }
    state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
}

void BM_KorvoFirstStart(benchmark::State& state) {
    long peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        state.ResumeTiming();
        peak = std::max(peak, runProcess({KORVO_BINARY, "--root", (dir.path() + "/d").toStdString(),
                                          "--screenshot", (dir.path() + "/s.png").toStdString()}));
    }
    report(state, peak);
}

void BM_KorvoStart(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string root = (dir.path() + "/d").toStdString();
    const std::string png = (dir.path() + "/s.png").toStdString();
    runProcess({KORVO_BINARY, "--root", root, "--screenshot", png});
    long peak = 0;
    for (auto _ : state) {
        peak = std::max(peak, runProcess({KORVO_BINARY, "--root", root, "--screenshot", png}));
    }
    report(state, peak);
}

void BM_BareQtWindow(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string png = (dir.path() + "/s.png").toStdString();
    long peak = 0;
    for (auto _ : state) {
        peak = std::max(peak, runProcess({BARE_WINDOW_BINARY, png}));
    }
    report(state, peak);
}

} // namespace

BENCHMARK(BM_BareQtWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(15)->ReportAggregatesOnly();
BENCHMARK(BM_KorvoFirstStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(15)->ReportAggregatesOnly();
BENCHMARK(BM_KorvoStart)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(15)->ReportAggregatesOnly();

BENCHMARK_MAIN();

// Start to the first drawn home screen, headless: the application delegate
// launches against a loopback service that answers the version check (the
// same version: no prompt) and the device registration, the main run loop
// runs until both are over, and the home screen is drawn into a PNG-ready
// snapshot at 2x. Each iteration starts from a fresh application with the
// resource pictures and the drawing caches emptied, so pictures are read
// from disk and every text is laid out again, as in a program just started;
// what stays warm is the process itself (the font system's start-up and the
// loopback connection's first use happen in a launch before the first
// iteration, whose time is reported as the counter "cold_ms").
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include "BenchHome.h"
#include "app/shell/AppDelegate.h"
#include "app/widgets/ProgressHUD.h"
#include "foundation/RunLoop.h"
#include "render/Renderer.h"
#include "service/ServiceConfig.h"
#include "support/LoopbackService.h"
#include "uikit/Image.h"
#include "uikit/UIKit.h"

namespace {

// One launch; true when the start-up requests were answered and the home screen drawn.
bool launchAndDraw(std::shared_ptr<AppDelegate>& delegate) {
    delegate = std::make_shared<AppDelegate>();
    auto& app = ui::Application::sharedApplication();
    app.setDelegate(delegate);
    app.finishLaunching();
    if (!ns::RunLoop::main().runUntil([&] { return delegate->isStartupSettled(); }, 10)) return false;
    auto canvas = render::snapshot(2);
    benchmark::DoNotOptimize(canvas->data());
    return canvas->pixelWidth() == 640;
}

void reset(std::shared_ptr<AppDelegate>& delegate) {
    ns::RunLoop::main().drain();
    ProgressHUD::resetForTesting();
    delegate.reset();
    ui::Application::resetForTesting();
    ui::Image::clearCache();
    render::clearCaches();
}

void BM_StartToFirstHomeFrame(benchmark::State& state) {
    BenchHome home;
    LoopbackService svc;
    svc.reply("AutoUpdate", R"({"state":"successful","ios_version":")" + AppDelegate::bundleVersion() + R"("})");
    svc.reply("SubmitDevice", R"({"state":"successful"})");
    ServiceConfig::reset();
    ServiceConfig::setEndpoint(svc.url());
    ServiceConfig::setServiceNamespace(svc.serviceNamespace());

    std::shared_ptr<AppDelegate> delegate;
    // One launch before timing: the font system and the first connection.
    // Its time, the process's very first start, is reported as "cold_ms".
    auto started = std::chrono::steady_clock::now();
    bool launched = launchAndDraw(delegate);
    double coldMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    if (!launched) {
        state.SkipWithError("the start-up requests were not answered");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        reset(delegate);
        state.ResumeTiming();
        if (!launchAndDraw(delegate)) {
            state.SkipWithError("the start-up requests were not answered");
            break;
        }
    }
    state.counters["cold_ms"] = coldMs;
    reset(delegate);
    ServiceConfig::reset();
}
BENCHMARK(BM_StartToFirstHomeFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

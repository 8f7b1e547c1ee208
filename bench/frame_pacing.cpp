// Frame pacing of the two outputs that run a frame clock: the headless output and the window
// output (on the display when there is one, else on Qt's offscreen platform). Each runs the
// crawl example (a 720 x 40 band scrolling 6 pixels a frame over the background) for the given
// number of seconds (10 by default) and reports ticks per second and how late the ticks start
// against their 40 ms schedule (median, 99th percentile, worst).
//
//   build/bench/bench_frame_pacing [seconds]
#include "engine/CommandProcessor.h"
#include "engine/FrameRequest.h"
#include "engine/FrameSource.h"
#include "engine/LogSink.h"
#include "net/Command.h"
#include "output/HeadlessOutput.h"
#include "output/qt/KvWindowOutput.h"

#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPeriodMs = 40.0;

class QuietLog : public kavelin::LogSink {
protected:
    void writeLine(std::string_view) override {}
};

// Notes when each tick begins, then composes the frame as the command processor does.
class TimedSource : public kavelin::FrameSource {
public:
    explicit TimedSource(kavelin::CommandProcessor& processor) : processor_(processor) {}
    void onFrame(kavelin::FrameRequest& request) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            starts_.push_back(Clock::now());
        }
        processor_.onFrame(request);
    }
    std::vector<Clock::time_point> starts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return starts_;
    }

private:
    kavelin::CommandProcessor& processor_;
    std::mutex mutex_;
    std::vector<Clock::time_point> starts_;
};

void execute(kavelin::CommandProcessor& processor, const std::string& line) {
    kavelin::Command command(line.c_str(), line.size());
    processor.execute(command);
}

// Sets up the crawl on `output`, lets `runFor` pass the time, and prints the figures.
void measure(const char* name, kavelin::Output& output, double seconds,
             const std::function<void(double)>& runFor) {
    QuietLog log;
    kavelin::CommandProcessor processor;
    if (!processor.init(output, nullptr, {}, log)) {
        std::printf("%-8s: cannot start\n", name);
        return;
    }
    const std::string examples =
        (std::filesystem::path(__FILE__).parent_path().parent_path() / "examples").string();
    for (const std::string& line :
         {std::string("116"), std::string("121 0"), "63 0 " + examples + "/crawl.tga",
          std::string("66 0 0 520"), std::string("67 0 720 40"), std::string("79 0 0 1 1 0 6 0"),
          std::string("80 0"), std::string("75 0")})
        execute(processor, line);
    TimedSource timed(processor);
    output.setFrameSource(&timed);
    runFor(seconds);
    output.setFrameSource(nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // a tick under way ends

    const std::vector<Clock::time_point> starts = timed.starts();
    if (starts.size() < 2) {
        std::printf("%-8s: too few ticks\n", name);
        return;
    }
    // Each tick's offset from the nearest point of the 40 ms grid through the first tick; the
    // earliest tick stands for the schedule itself, the others are late by their distance to it.
    std::vector<double> late;
    for (const Clock::time_point& t : starts) {
        const double ms = std::chrono::duration<double, std::milli>(t - starts.front()).count();
        late.push_back(ms - kPeriodMs * std::round(ms / kPeriodMs));
    }
    const double earliest = *std::min_element(late.begin(), late.end());
    for (double& l : late)
        l -= earliest;
    std::sort(late.begin(), late.end());
    const double span = std::chrono::duration<double>(starts.back() - starts.front()).count();
    std::printf("%-8s: %zu ticks in %.2f s = %.2f ticks/s; lateness median %.3f ms, p99 %.3f "
                "ms, max %.3f ms\n",
                name, starts.size(), span, static_cast<double>(starts.size() - 1) / span,
                late[late.size() / 2], late[std::min(late.size() - 1, late.size() * 99 / 100)],
                late.back());
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::printf("frame pacing, %.0f s each, 40 ms period, platform %s\n", seconds,
                QGuiApplication::platformName().toUtf8().constData());

    {
        kavelin::HeadlessOutput headless(720, 576, 25);
        headless.open();
        measure("headless", headless, seconds,
                [](double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); });
    }
    {
        kavelin::KvWindowOutput window(720, 576, 25, {0, 0, 0, 255}, true);
        if (!window.open()) {
            std::printf("window  : cannot open\n");
            return 1;
        }
        // The GUI thread paints every frame meanwhile.
        measure("window", window, seconds, [](double s) {
            QTimer::singleShot(static_cast<int>(s * 1000), [] { QCoreApplication::quit(); });
            QCoreApplication::exec();
        });
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/monitor_run.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/cli_host.h"
#include "cli/cli_run.h"
#include "cli/cli_summary.h"
#include "live/live_input.h"
#include "monitor/monitor_options.h"
#include "monitor/monitor_output.h"
#include "platform/file_access.h"
#include "platform/path_names.h"
#include "settings/limits_file.h"
#include "settings/settings_error.h"

namespace tarnimex {

namespace {

constexpr int kNoStop = -1;
std::atomic<int> stopStatus{kNoStop};
static_assert(std::atomic<int>::is_always_lock_free);

// Where the stop request is looked for: it comes from a signal handler.
constexpr int kStopPollMs = 100;
constexpr int kTickMs = 1000;
// Away from a terminal the status lines come once a minute, not to flood a log.
constexpr int kTicksPerStatusElsewhere = 60;

int Usage(std::ostream& err, const std::string& message) {
    err << "tarnimex-monitor: " << message << "\nTry 'tarnimex-monitor --help'.\n";
    return 2;
}

std::string WithoutLineEnd(std::string text) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

}  // namespace

void RequestMonitorStop(int exitStatus) {
    int expected = kNoStop;
    stopStatus.compare_exchange_strong(expected, exitStatus);
}

bool MonitorStopRequested() {
    return stopStatus.load() != kNoStop;
}

int RunMonitor(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               bool terminal) {
    MonitorOptions options;
    std::string error;
    if (!ParseMonitorOptions(args, options, error)) return Usage(err, error);
    const CliOptions& cli = options.conversion;
    if (cli.help) {
        out << MonitorUsage() << std::flush;
        return out ? 0 : 1;
    }
    if (cli.version) {
        out << "tarnimex-monitor " << TARNIMEX_VERSION_TEXT << '\n' << std::flush;
        return out ? 0 : 1;
    }
    if (options.sources.empty()) return Usage(err, "no source given");
    if (options.recordDir) {
        // Made when missing, as tarnimex-convert makes its output folders.
        std::error_code made;
        std::filesystem::create_directories(PathFromUtf8(*options.recordDir), made);
        if (made || !FolderAcceptsNewFiles(*options.recordDir)) {
            err << "tarnimex-monitor: cannot record in " << *options.recordDir << ": "
                << (made ? made.message() : "no new file can be made there") << '\n';
            return 2;
        }
    }
    const RegionalFormat regional = RegionalOfOptions(cli);
    std::optional<TimingLimits> limits;
    if (!ReadLimitsOfOptions(cli, "tarnimex-monitor", limits, err)) return 2;
    ConversionSettings fields;
    if (!ResolveSettings(cli, regional, "tarnimex-monitor", fields, err)) return 2;
    CliSettings settings(fields);

    MonitorOutput output(out, err, regional, terminal, options.json, cli.quiet);
    const LiveClock clock = [] { return std::chrono::system_clock::now(); };
    std::optional<LiveRecording> recording;
    if (options.recordDir) {
        recording = LiveRecording{*options.recordDir, options.rotateMinutes, regional,
                                  TextEncodingFromUserLocale()};
    }
    std::vector<std::unique_ptr<LiveSession>> sessions;
    std::vector<std::unique_ptr<LiveInput>> inputs;
    std::vector<LiveSession*> shown;
    for (const SourceAddress& address : options.sources) {
        sessions.push_back(std::make_unique<LiveSession>(
            address.label, settings, regional, output, recording,
            limits ? std::optional<double>(limits->warmUp) : std::nullopt));
        inputs.push_back(std::make_unique<LiveInput>(address, *sessions.back(), clock));
        shown.push_back(sessions.back().get());
    }

    QTimer stopPoll;
    QObject::connect(&stopPoll, &QTimer::timeout, [] {
        if (MonitorStopRequested()) QCoreApplication::quit();
    });
    stopPoll.start(kStopPollMs);
    QTimer tick;
    int ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        for (auto& session : sessions) session->Tick(clock());
        if (terminal || ++ticks % kTicksPerStatusElsewhere == 0) output.ShowStatus(shown);
    });
    tick.start(kTickMs);
    QTimer duration;
    if (options.duration) {
        duration.setSingleShot(true);
        QObject::connect(&duration, &QTimer::timeout, [] { RequestMonitorStop(0); });
        duration.start(static_cast<int>(std::min(*options.duration * 1000.0, 2e9)));
    }
    for (auto& input : inputs) {
        // When every source has ended for good there is nothing left to watch.
        QObject::connect(input.get(), &LiveInput::ended, [&] {
            for (const auto& each : inputs)
                if (!each->Ended()) return;
            RequestMonitorStop(0);
        });
        input->Start();
    }
    if (!MonitorStopRequested()) QCoreApplication::exec();

    output.EndStatus();
    for (auto& input : inputs) input->Stop();
    int status = stopStatus.load() == kNoStop ? 0 : stopStatus.load();
    bool overLimits = false;
    std::int64_t failures = 0;
    for (auto& session : sessions) {
        session->Stop(clock());
        failures += session->RecordingFailures();
        LogStatistics statistics;
        const std::optional<Verdict> verdict = JudgeSession(*session, limits, statistics);
        overLimits = overLimits || (verdict && verdict->outcome == Verdict::Outcome::kFail);
        const double warmUp = limits ? limits->warmUp : 0;
        const Verdict* judged = verdict ? &*verdict : nullptr;
        const std::string outages =
            "  outages: " + std::to_string(session->Figures().outages) + "\n";
        std::string json;
        AppendJsonString(json, session->Label());
        output.Summary(SummaryText(statistics, regional, warmUp, judged) + outages,
                       "{\"event\":\"summary\",\"source\":" + json + ",\"outages\":" +
                           std::to_string(session->Figures().outages) + ",\"statistics\":" +
                           WithoutLineEnd(SummaryJson(statistics, warmUp, judged)) + "}\n");
    }
    if (status == 0 && failures > 0) status = 1;
    if (status == 0 && overLimits) status = 4;
    return status;
}

}  // namespace tarnimex

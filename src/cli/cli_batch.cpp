// SPDX-License-Identifier: GPL-3.0-or-later
// Every worker has a converter of its own (the reader's state is per
// converter); the abort flag is the process's one, so Ctrl-C stops them all,
// each leaving its log's CSV unwritten and earlier CSVs in place. A log that
// cannot be read ends the run; a CSV that cannot be written, only its log.
#include "cli/cli_batch.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>

#include "conversion/conversion_run.h"
#include "platform/path_names.h"

namespace tarnimex {

namespace {

// The status lines of one worker's logs, which can leave out progress lines.
class LogStatus : public CliStatus {
  public:
    LogStatus(const BatchSetup& setup, std::ostream& out, std::ostream& err, bool progress)
        : CliStatus(out, err, setup.terminal && progress, setup.quiet), progress_(progress) {
        if (setup.onLogFinished) {
            onLogFinished = [&setup, &out, &err](const LogStatistics& statistics) {
                setup.onLogFinished(statistics, out, err);
            };
        }
    }
    void ShowProgress(const Progress& progress, const std::string& text) override {
        if (progress_) CliStatus::ShowProgress(progress, text);
    }

  private:
    bool progress_;
};

// Converts one log; a CSV that cannot be written fails only its log. Throws
// IoError when the run must end (a log that cannot be read).
LogResult ConvertOne(const BatchLog& log, Converter& converter, LogStatus& status) {
    if (!log.refusal.empty()) return converter.Refuse(log.name, log.refusal);
    if (!log.folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(PathFromUtf8(log.folder), ec);
        if (ec) {
            status.ShowError("Cannot create folder \"" + log.folder + "\". " + ec.message(), "");
            return {LogOutcome::CouldNotWrite, {}};
        }
    }
    return converter.ConvertFile(log.name, log.csv);
}

// Sets the converter up as the setup asks.
void Prepare(Converter& converter, const BatchSetup& setup, int threads) {
    converter.ReadDashAsStandardInput();
    ChunkPlan plan;
    plan.threads = threads;
    converter.SplitLargeLogs(plan);
    if (setup.metrics) converter.CollectTimingMetrics(setup.limits ? setup.limits->warmUp : 0);
}

void Count(BatchTotals& totals, const LogResult& result, const BatchSetup& setup) {
    // The log's verdict, when its statistics reached the host.
    if (setup.limits && result.statistics.metrics) {
        const auto& s = result.statistics;
        switch (JudgeLog(*setup.limits, s, *s.metrics).outcome) {
            case Verdict::Outcome::kFail:
                ++totals.overLimits;
                break;
            case Verdict::Outcome::kNoData:
                ++totals.unjudged;
                break;
            case Verdict::Outcome::kPass:
                break;
        }
    }
    switch (result.outcome) {
        case LogOutcome::Converted:
            ++totals.converted;
            break;
        case LogOutcome::NoData:
            ++totals.noData;
            break;
        case LogOutcome::CouldNotOpen:
        case LogOutcome::Damaged:
        case LogOutcome::Refused:
        case LogOutcome::CouldNotWrite:
            ++totals.failed;
            break;
        case LogOutcome::Aborted:
            break;  // the run's end says so
    }
}

BatchTotals OneAtATime(const BatchSetup& setup, const std::vector<BatchLog>& logs,
                       std::ostream& status, std::ostream& err) {
    BatchTotals totals;
    CliSettings settings(setup.fields);
    LogStatus host(setup, status, err, true);
    Converter converter({settings, host}, setup.regional, setup.encoding);
    Prepare(converter, setup, setup.jobs);
    try {
        for (const BatchLog& log : logs) {
            if (AbortRequested) break;
            Count(totals, ConvertOne(log, converter, host), setup);
        }
    } catch (const IoError& e) {
        host.EndLiveLine();
        err << e.what() << '\n';
        totals.runEnded = true;
    }
    host.EndLiveLine();
    return totals;
}

struct Block {
    bool done = false;
    std::string out, err;
    LogResult result;  // Aborted also when the run ended at it
};

BatchTotals Together(const BatchSetup& setup, const std::vector<BatchLog>& logs,
                     std::ostream& status, std::ostream& err) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Block> blocks(logs.size());
    std::size_t next = 0;
    int running = 0;
    std::optional<std::string> runError;

    const int workers = std::min<int>(setup.jobs, static_cast<int>(logs.size()));
    auto work = [&] {
        std::ostringstream out, errors;
        CliSettings settings(setup.fields);
        LogStatus host(setup, out, errors, false);
        Converter converter({settings, host}, setup.regional, setup.encoding);
        // The cores are shared among the logs being converted.
        Prepare(converter, setup, std::max(1, setup.jobs / workers));
        for (;;) {
            std::size_t i;
            {
                std::lock_guard lock(mutex);
                if (next == logs.size() || runError || AbortRequested) break;
                i = next++;
            }
            Block block;
            try {
                block.result = ConvertOne(logs[i], converter, host);
            } catch (const IoError& e) {
                errors << e.what() << '\n';
                std::lock_guard lock(mutex);
                if (!runError) runError = e.what();
            }
            block.out = out.str();
            block.err = errors.str();
            out.str({});
            errors.str({});
            block.done = true;
            std::lock_guard lock(mutex);
            blocks[i] = std::move(block);
            changed.notify_all();
        }
        std::lock_guard lock(mutex);
        --running;
        changed.notify_all();
    };

    std::vector<std::jthread> threads;
    running = workers;
    for (int w = 0; w < workers; ++w) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // refused (memory, a limit on processes): fewer convert
        }
    }
    if (threads.empty()) return OneAtATime(setup, logs, status, err);
    {
        std::lock_guard lock(mutex);
        running -= workers - static_cast<int>(threads.size());
    }

    // Blocks are printed in the list's order as soon as all before them are.
    BatchTotals totals;
    std::unique_lock lock(mutex);
    for (Block& block : blocks) {
        changed.wait(lock, [&] { return block.done || running == 0; });
        if (!block.done) break;
        status << block.out << std::flush;
        err << block.err << std::flush;
        Count(totals, block.result, setup);
    }
    totals.runEnded = runError.has_value();
    return totals;
}

}  // namespace

BatchTotals RunBatch(const BatchSetup& setup, const std::vector<BatchLog>& logs,
                     std::ostream& status, std::ostream& err) {
    AbortRequested = false;
    return setup.jobs > 1 && logs.size() > 1 ? Together(setup, logs, status, err)
                                             : OneAtATime(setup, logs, status, err);
}

}  // namespace tarnimex

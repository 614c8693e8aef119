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

enum class Outcome { Converted, NoData, Failed, Stopped };

// A command-line host that remembers the log's last status and can leave out
// progress lines.
class LogHost : public CliHost {
  public:
    LogHost(const BatchSetup& setup, std::ostream& out, std::ostream& err, bool progress)
        : CliHost(setup.fields, out, err, setup.terminal && progress, setup.quiet),
          progress_(progress) {
        if (setup.onLogFinished) {
            onLogFinished = [&setup, &out, &err](const LogStatistics& statistics) {
                setup.onLogFinished(statistics, out, err);
            };
        }
    }
    void SetStatus(const std::string& text) override {
        last_ = text;
        CliHost::SetStatus(text);
    }
    void ShowProgress(const Progress& progress, const std::string& text) override {
        if (progress_) CliHost::ShowProgress(progress, text);
    }
    const std::string& Last() const { return last_; }

  private:
    bool progress_;
    std::string last_;
};

// Converts one log; a CSV that cannot be written fails only its log. Throws
// IoError when the run must end (a log that cannot be read).
Outcome ConvertOne(const BatchLog& log, Converter& converter, LogHost& host) {
    if (!log.refusal.empty()) {
        host.SetStatus("Error!");
        host.ShowError("Can not Convert: " + log.name, log.refusal);
        return Outcome::Failed;
    }
    try {
        if (!log.folder.empty()) {
            std::error_code ec;
            std::filesystem::create_directories(PathFromUtf8(log.folder), ec);
            if (ec) throw CsvError("Cannot create folder \"" + log.folder + "\". " + ec.message());
        }
        const std::int64_t failedBefore = converter.FailedEntries();
        converter.ConvertFile(log.name, log.csv);
        if (converter.FailedEntries() > failedBefore) return Outcome::Failed;
    } catch (const CsvError& e) {
        host.ShowError(e.what(), "");
        return Outcome::Failed;
    }
    if (host.Last() == "No effective data.") return Outcome::NoData;
    if (host.Last().starts_with("Completed:")) return Outcome::Converted;
    return Outcome::Stopped;
}

void Count(BatchTotals& totals, Outcome outcome) {
    if (outcome == Outcome::Converted) ++totals.converted;
    if (outcome == Outcome::NoData) ++totals.noData;
    if (outcome == Outcome::Failed) ++totals.failed;
}

BatchTotals OneAtATime(const BatchSetup& setup, const std::vector<BatchLog>& logs,
                       std::ostream& status, std::ostream& err) {
    BatchTotals totals;
    LogHost host(setup, status, err, true);
    Converter converter(host, setup.regional, setup.encoding);
    converter.ReadDashAsStandardInput();
    ChunkPlan plan;
    plan.threads = setup.jobs;
    converter.SplitLargeLogs(plan);
    try {
        for (const BatchLog& log : logs) {
            if (AbortRequested) break;
            Count(totals, ConvertOne(log, converter, host));
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
    Outcome outcome = Outcome::Stopped;
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
        LogHost host(setup, out, errors, false);
        Converter converter(host, setup.regional, setup.encoding);
        converter.ReadDashAsStandardInput();
        // The cores are shared among the logs being converted.
        ChunkPlan plan;
        plan.threads = std::max(1, setup.jobs / workers);
        converter.SplitLargeLogs(plan);
        for (;;) {
            std::size_t i;
            {
                std::lock_guard lock(mutex);
                if (next == logs.size() || runError || AbortRequested) break;
                i = next++;
            }
            Block block;
            try {
                block.outcome = ConvertOne(logs[i], converter, host);
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
        Count(totals, block.outcome);
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

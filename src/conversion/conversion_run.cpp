// SPDX-License-Identifier: GPL-3.0-or-later
// One conversion run: for each log of the list, every key sentence whose field
// 5 matches the second key is a report (field 6 the RMC date-time, field 7 the
// delay). Reports become CSV rows, all of them or, with Limiting, those around
// changes of the delay; the first and last report of a stretch over the alarm
// step carry the alarm mark.
#include "conversion/conversion_run.h"

#include <cmath>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <system_error>

#include "conversion/input/chunked_log.h"
#include "conversion/input/compressed_source.h"
#include "conversion/input/seekable_log.h"
#include "conversion/output/csv_claims.h"
#include "conversion/output/csv_file.h"
#include "conversion/output/output_rows.h"
#include "conversion/reports/general_number.h"
#include "conversion/reports/report_finder.h"
#include "conversion/reports/sentence.h"
#include "conversion/reports/time_stamp.h"
#include "conversion/statistics/statistics.h"
#include "conversion/status_texts.h"
#include "platform/path_names.h"

namespace tarnimex {

namespace {

// Numbers inside sentence fields are written with a point whatever the locale.
constexpr std::string_view kFieldDecimal = ".";
constexpr double kSecondsPerDay = 86400.0;
// The progress text and the host's events come this often: an Escape takes
// effect within so many lines, and a run of many thousand lines a second pays
// next to nothing for them.
constexpr std::int64_t kProgressLines = 20000;
// A line without end (binary data, zeros) shows its progress as it is read,
// every so many bytes, so that it too can be followed and stopped.
constexpr std::int64_t kProgressBytes = 8 << 20;

bool OpenStandardInput(LogReader& reader, std::string& reason) {
    try {
        // A pipe has no size: progress stays at 0%.
        reader.Open(OpenLogSource(stdin, "standard input"), 0);
        return true;
    } catch (const IoError& e) {
        reason = e.what();
        return false;
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(PathFromUtf8(a), PathFromUtf8(b), ec) && !ec;
}

// The working record of one log.
class ConversionState {
  public:
    ConversionState(ConversionSettingsSource& settings, const TextEncoding& encoding)
        : settings_(settings), encoding_(encoding) {}

    std::string SentenceKey;
    std::string SecondKey;
    int SecondDecimals = -1;
    double ThresholdTime = 0;
    double MaxTimeStep = 0;  // in days while reading
    std::int64_t LineCount = 0;
    OutputRows OutputLines;
    double MaxDelay = -1e10;
    double MinDelay = 1e10;
    StatisticsAccumulator Statistics;
    std::optional<TimingSeries> Timing;  // when metrics are asked for

    std::int64_t RowCount() const { return OutputLines.Count(); }

    void HandleAccepted(const ReportValues& report) {
        const std::string_view delayText = report.delayText;
        const double delay = report.delay.value_or(0.0);
        const double time = report.time;
        const double utc = time - delay / kSecondsPerDay;
        if (delay > MaxDelay) MaxDelay = delay;
        if (delay < MinDelay) MinDelay = delay;
        const double alarmStep = settings_.AlarmStep();
        Statistics.Add(time, delay, report.delay.has_value(), alarmStep);
        if (Timing) Timing->Add(time, delay, report.delay.has_value());
        const double diff = delay - prevDelay_;
        const bool bigStep = std::fabs(utc - lastRowUtc_) >= MaxTimeStep;
        const bool limit = settings_.LimitChecked();
        const bool emitted = !limit || std::fabs(diff) >= ThresholdTime || bigStep;
        if (emitted) {
            const bool over = alarmStep > 0 && std::fabs(delay) > alarmStep;
            const bool prevOver = alarmStep > 0 && std::fabs(prevDelay_) >= alarmStep;
            const bool prevSkipped = !prevEmitted_ && !bigStep;
            if (over == prevOver || over) {
                if (prevSkipped) OutputLines.Add(prevTime_, prevDelay_, prevDelayText_, {});
                OutputLines.Add(time, delay, delayText,
                                over && !prevOver ? Symbol() : std::string_view{});
            } else {
                // The end of an alarm stretch: the previous report carries the mark.
                if (prevEmitted_) OutputLines.RemoveLast();
                OutputLines.Add(prevTime_, prevDelay_, prevDelayText_, Symbol());
                OutputLines.Add(time, delay, delayText, {});
            }
            lastRowUtc_ = utc;
        }
        prevEmitted_ = emitted;
        prevDelay_ = delay;
        prevTime_ = time;
        prevDelayText_.assign(delayText);
    }

  private:
    std::string_view Symbol() {
        std::string symbol = settings_.SymbolOfAlarm();
        if (symbol != symbolSource_) {
            symbolSource_ = symbol;
            symbolEncoded_ = EncodeText(symbol, encoding_);
        }
        return symbolEncoded_;
    }

    ConversionSettingsSource& settings_;
    const TextEncoding& encoding_;
    double prevDelay_ = 0;
    double prevTime_ = 0;
    std::string prevDelayText_;
    double lastRowUtc_ = 0;
    bool prevEmitted_ = true;
    std::string symbolSource_;
    std::string symbolEncoded_;
};

// Restores the normal cursor however the log's conversion ends.
class BusyCursor {
  public:
    explicit BusyCursor(EventPump& events) : events_(events) { events_.SetBusyCursor(true); }
    ~BusyCursor() { events_.SetBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    EventPump& events_;
};

// The inputs of one log, read from the settings once; a threshold or
// max time step that reads as 0 (empty or not a number) is replaced, in its
// box too.
void ReadParameters(ConversionSettingsSource& settings, const std::string& decimal,
                    ConversionState& state) {
    state.MaxTimeStep =
        ReadUserNumber(settings.FieldText(HostField::MaxStep), decimal).value_or(0.0);
    state.ThresholdTime =
        ReadUserNumber(settings.FieldText(HostField::TimeDiff), decimal).value_or(0.0);
    state.SentenceKey = std::string(Trim(settings.FieldText(HostField::Key)));
    state.SecondKey = std::string(Trim(settings.FieldText(HostField::SecKey)));
    if (state.MaxTimeStep == 0) {
        state.MaxTimeStep = ParseFloat(kMaxStepReplacement);
        settings.SetFieldText(HostField::MaxStep, std::string(kMaxStepReplacement));
    }
    if (state.ThresholdTime == 0) {
        state.ThresholdTime = ParseFloat(kThresholdReplacement);
        settings.SetFieldText(HostField::TimeDiff, std::string(kThresholdReplacement));
    }
}

// The progress of the log, shown; the metrics' series makes room by it.
void ShowProgress(const ConversionHost& host, const std::string& name, const std::string& decimal,
                  const Progress& progress, ConversionState& state) {
    if (state.Timing) state.Timing->Expect(progress.bytesRead, progress.size);
    host.status.ShowProgress(progress, ProgressText(name, progress, decimal));
    host.events.ProcessEvents();
}

// Reads the open log to its end, or until an abort, and closes it; the
// progress text and the host's events come every kProgressLines lines, and
// every kProgressBytes of a line.
// Returns the frames met. The loop is inlined whole (the line reader and the
// report search have other callers too): a call per line and per report cost
// 4% on a log with a report on every line.
[[gnu::flatten]] FrameCounts ReadReports(LogReader& reader, const ConversionHost& host,
                                         const std::string& name, const std::string& decimal,
                                         ReportFinder& finder, ConversionState& state) {
    struct CloseReader {
        LogReader& reader;
        ~CloseReader() { reader.Close(); }
    } closeReader{reader};
    const auto accept = [&](const ReportValues& report) { state.HandleAccepted(report); };
    reader.WatchLongLines(kProgressBytes, [&] {
        ShowProgress(host, name, decimal,
                     {reader.BytesRead(), reader.LogFileSize(), state.RowCount(), state.LineCount},
                     state);
    });
    while (!reader.EndOfLog() && !AbortRequested) {
        // Lines that cannot hold the key only count.
        const auto skipped = static_cast<std::int64_t>(reader.SkipLinesWithout(
            state.SentenceKey,
            static_cast<std::size_t>(kProgressLines - state.LineCount % kProgressLines)));
        if (skipped > 0) {
            state.LineCount += skipped;
        } else {
            const std::string_view line = reader.ReadLogLine();
            ++state.LineCount;
            if (!line.empty()) finder.Find(line, accept);
        }
        if (state.LineCount % kProgressLines == 0) {
            ShowProgress(
                host, name, decimal,
                {reader.BytesRead(), reader.LogFileSize(), state.RowCount(), state.LineCount},
                state);
        }
    }
    return reader.Frames();
}

// The same through chunks read on several threads: the reports are taken in
// the log's order, and the progress texts and host's events come after the
// same lines, with the same figures, as from one reader.
FrameCounts ReadReportsInChunks(ChunkedLog& chunks, std::int64_t size, const ConversionHost& host,
                                const std::string& name, const std::string& decimal,
                                ConversionState& state) {
    std::int64_t nextProgress = kProgressLines;
    // Counts lines up to line, with the progress steps among them; false on an abort.
    const auto countTo = [&](std::int64_t line) {
        for (; nextProgress <= line; nextProgress += kProgressLines) {
            state.LineCount = nextProgress;
            ShowProgress(
                host, name, decimal,
                {chunks.AfterLine(nextProgress).bytesRead, size, state.RowCount(), nextProgress},
                state);
            if (AbortRequested) return false;
        }
        state.LineCount = line;
        return !AbortRequested;
    };
    ChunkedLog::Stretch stretch;
    while (!AbortRequested && chunks.Next(stretch)) {
        std::int64_t line = state.LineCount;
        std::string_view texts = stretch.texts;
        for (const FoundReport& found : stretch.reports) {
            const std::string_view delayText = texts.substr(0, found.textSize);
            texts.remove_prefix(delayText.size());
            const std::int64_t reportLine = found.line + stretch.lineOffset + 1;
            if (reportLine != line && !countTo((line = reportLine) - 1)) break;
            state.LineCount = reportLine;
            state.HandleAccepted(
                {found.time, std::isnan(found.delay) ? std::nullopt : std::optional(found.delay),
                 delayText});
        }
        if (AbortRequested || !countTo(stretch.lines)) break;
        // One reader's last step, to the end of the log, counts as a line.
        if (stretch.last) countTo(stretch.lines + 1);
    }
    return chunks.AfterLine(state.LineCount).frames;
}

// Writes the CSV all or nothing: false when Ctrl-C came during the write, and
// the earlier CSV stays. Throws IoError when it cannot be written.
bool WriteCsv(const std::unique_ptr<CsvOutput>& file, const RegionalFormat& regional,
              const TextEncoding& encoding, ConversionState& state, int threads) {
    const std::string summary = "," + std::to_string(state.RowCount()) + "," +
                                FormatGeneralNumber(state.MaxDelay, kFieldDecimal) + "," +
                                FormatGeneralNumber(state.MinDelay, kFieldDecimal);
    if (encoding.utf8 && !file->Write("\xEF\xBB\xBF")) file->Fail();
    // The separators join the CSV's text in its character set.
    RegionalFormat csvFormat = regional;
    csvFormat.dateSeparator = EncodeText(regional.dateSeparator, encoding);
    csvFormat.timeSeparator = EncodeText(regional.timeSeparator, encoding);
    TimeStampWriter times(csvFormat, state.SecondDecimals);
    const bool written = state.OutputLines.WriteAll(
        "RMC time,UTC time,Time error,Count,Max,Min", summary, times,
        [&](std::string_view bytes) { return file->Write(bytes); }, threads);
    if (!written) file->Fail();
    if (AbortRequested) return false;
    file->Commit();
    return true;
}

// The series' metrics, computed on a thread of their own while the CSV is
// written (the reading left one core idle); where no thread starts, when asked.
std::future<TimingMetrics> ComputeMetrics(const TimingSeries& series, double usualStep) {
    const auto compute = [&series, usualStep] { return series.Compute(usualStep); };
    try {
        return std::async(std::launch::async, compute);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, compute);
    }
}

}  // namespace

Converter::Converter(ConversionHost host, RegionalFormat regional, TextEncoding encoding,
                     LogReader::Mode mode)
    : host_(host),
      regional_(std::move(regional)),
      encoding_(std::move(encoding)),
      mode_(mode),
      reader_(mode) {}

std::unique_ptr<SeekableLog> Converter::SplittableLog(const std::string& name) const {
    const std::int64_t size = reader_.LogFileSize();
    if (plan_.threads < 2 || mode_ != LogReader::Mode::Fast || reader_.Compressed() ||
        size < plan_.minimumLogBytes || (dashIsStandardInput_ && name == "-")) {
        return nullptr;
    }
    if (files_) return files_->OpenSeekable(name);
    // Through the file the reader opened: its name may already mean another.
    std::FILE* file = reader_.PlainFile();
    if (file == nullptr) return nullptr;
    std::optional<PositionedFile> handle = PositionedFile::Duplicate(file);
    // Without a second handle one reader reads the log.
    if (!handle) return nullptr;
    return std::make_unique<SeekableFile>(name, std::move(*handle), size);
}

void Converter::ConvertFiles(std::string_view list) {
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{running_};
    running_ = true;
    AbortRequested = false;
    CsvClaims claims;
    for (const std::string& entry : SplitFileList(list)) {
        if (AbortRequested) break;
        const std::string csv = CsvFileName(entry);
        const std::string refusal = entry.empty() ? std::string() : claims.Claim(csv, entry);
        if (refusal.empty())
            ConvertEntry(entry, csv);
        else
            Refuse(entry, refusal);
    }
    if (AbortRequested) host_.status.SetStatus(kAbortedStatus);
}

LogResult Converter::Refuse(const std::string& name, const std::string& reason) {
    ++failedEntries_;
    host_.status.SetStatus(kErrorStatus);
    host_.status.ShowError(CanNotConvertText(name), reason);
    return {LogOutcome::Refused, {}};
}

LogResult Converter::ConvertFile(std::string_view name, const std::string& csvName) {
    try {
        return ConvertEntry(std::string(name), csvName);
    } catch (const CsvError& e) {
        host_.status.ShowError(e.what(), "");
        return {LogOutcome::CouldNotWrite, lastStatistics_};
    }
}

LogResult Converter::ConvertEntry(const std::string& name, const std::string& csvName) {
    try {
        return ConvertLog(name, csvName);
    } catch (const DamagedLog& e) {
        // Part of a log is no log: nothing is written, the run goes on.
        ++failedEntries_;
        host_.status.SetStatus(kErrorStatus);
        host_.status.ShowError(CanNotOpenText(name), e.what());
        return {LogOutcome::Damaged, {}};
    }
}

LogResult Converter::ConvertLog(const std::string& name, const std::string& csvName) {
    ConversionState state(host_.settings, encoding_);
    if (metricsWarmUp_) state.Timing.emplace(*metricsWarmUp_);
    ReadParameters(host_.settings, regional_.decimalSeparator, state);
    if (std::optional<LogResult> notOpened = OpenLog(name, csvName)) return *notOpened;
    host_.status.SetStatus(name);
    host_.events.ProcessEvents();

    const std::string decimals = host_.settings.FieldText(HostField::SecDec);
    state.SecondDecimals = decimals.size() <= 2 ? ParseInt(decimals) : -1;
    BusyCursor cursor(host_.events);
    ReportFinder finder(state.SentenceKey, state.SecondKey, regional_);
    state.MaxTimeStep /= kSecondsPerDay;
    std::optional<FrameCounts> frames;
    if (const std::unique_ptr<SeekableLog> log = SplittableLog(name)) {
        const std::int64_t size = reader_.LogFileSize();
        ChunkedLog chunks(*log, finder, plan_, ChunkedLog::EvenSeams(size, plan_.chunkBytes));
        // Where the system starts no thread, the reader opened reads the log.
        if (chunks.Readers() > 0) {
            reader_.Close();
            frames =
                ReadReportsInChunks(chunks, size, host_, name, regional_.decimalSeparator, state);
        }
    }
    if (!frames)
        frames = ReadReports(reader_, host_, name, regional_.decimalSeparator, finder, state);

    lastStatistics_ = state.Statistics.Result();
    lastStatistics_.log = name;
    lastStatistics_.rows = state.RowCount();
    lastStatistics_.lines = state.LineCount;
    lastStatistics_.secondDecimals = state.SecondDecimals;
    lastStatistics_.frames = *frames;
    std::future<TimingMetrics> metrics;
    if (state.Timing && !AbortRequested)
        metrics = ComputeMetrics(*state.Timing, lastStatistics_.usualStep);
    if (state.OutputLines.Empty()) {
        host_.status.SetStatus(kNoDataStatus);
        if (!AbortRequested) {
            if (metrics.valid()) lastStatistics_.metrics = metrics.get();
            host_.status.LogFinished(lastStatistics_);
        }
        return {LogOutcome::NoData, lastStatistics_};
    }
    if (AbortRequested) return {LogOutcome::Aborted, lastStatistics_};
    host_.status.SetStatus(kOutputStatus);
    if (!WriteCsv(files_ ? files_->OpenCsv(csvName) : OpenCsvOutput(csvName), regional_, encoding_,
                  state, plan_.threads)) {
        return {LogOutcome::Aborted, lastStatistics_};
    }
    lastCsv_ = csvName;
    if (metrics.valid()) lastStatistics_.metrics = metrics.get();
    host_.status.SetStatus(CompletedText(state.MaxDelay, state.MinDelay, state.RowCount(),
                                         state.LineCount, regional_.decimalSeparator));
    host_.status.LogFinished(lastStatistics_);
    host_.events.ProcessEvents();
    host_.events.Pause500ms();
    return {LogOutcome::Converted, lastStatistics_};
}

std::optional<LogResult> Converter::OpenLog(const std::string& name, const std::string& csvName) {
    std::string reason;
    const bool fromStandardInput = dashIsStandardInput_ && name == "-";
    const bool opened = files_              ? files_->OpenLog(reader_, name, reason)
                        : fromStandardInput ? OpenStandardInput(reader_, reason)
                                            : reader_.OpenLogFile(name, &reason);
    if (!opened) {
        ++failedEntries_;
        host_.status.SetStatus(kErrorStatus);
        host_.status.ShowError(CanNotOpenText(name), reason);
        return LogResult{LogOutcome::CouldNotOpen, {}};
    }
    if (!fromStandardInput && SameFile(csvName, name)) {
        // The output would overwrite the log it is made from: by its name, or
        // as a second name of it (a link, --output naming the log).
        reader_.Close();
        return Refuse(
            name, csvName == name && CsvFileName(name) == name
                      ? "The log has the extension .csv; its output would overwrite it."
                      : "Its CSV \"" + csvName + "\" is the log itself; it would be overwritten.");
    }
    return std::nullopt;
}

}  // namespace tarnimex

// SPDX-License-Identifier: GPL-3.0-or-later
// One conversion run: for each log of the list, every key sentence whose field
// 5 matches the second key is a report (field 6 the RMC date-time, field 7 the
// delay). Reports become CSV rows, all of them or, with Limiting, those around
// changes of the delay; the first and last report of a stretch over the alarm
// step carry the alarm mark.
#include "conversion_run.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string>

#include "compressed_source.h"
#include "csv_claims.h"
#include "csv_file.h"
#include "general_number.h"
#include "key_search.h"
#include "line_reports.h"
#include "output_rows.h"
#include "platform/path_names.h"
#include "sentence.h"
#include "statistics.h"
#include "time_stamp.h"

namespace tarnimex {

std::atomic<bool> AbortRequested{false};

namespace {

// Numbers inside sentence fields are written with a point whatever the locale.
constexpr std::string_view kFieldDecimal = ".";
constexpr double kSecondsPerDay = 86400.0;
// The progress text and the host's events come this often: an Escape takes
// effect within so many lines, and a run of many thousand lines a second pays
// next to nothing for them.
constexpr std::int64_t kProgressLines = 20000;
// After a report, the search for the next key goes on this many characters
// past the report's start, whatever the key's length, so that a key without
// "$" that stands inside a report's own text is found again, as the format's
// first readers found it.
constexpr std::size_t kSearchStep = 7;

// "name ( 25.0%  12/40000Lines)": the percentage with one decimal in the
// regional separator, at least three characters wide.
std::string ProgressText(const std::string& name, const Progress& progress,
                         std::string_view decimal) {
    const std::int64_t bytesRead = progress.bytesRead;
    const std::int64_t size = progress.size;
    const double percent =
        size > 0 ? static_cast<double>(bytesRead) / static_cast<double>(size) * 100.0 : 0.0;
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, percent, std::chars_format::fixed, 1);
    std::string text;
    for (const char* p = buffer; p != result.ptr; ++p) {
        if (*p == '.')
            text += decimal;
        else
            text += *p;
    }
    while (text.size() < 3) text.insert(text.begin(), ' ');
    return name + " (" + text + "%  " + std::to_string(progress.rows) + "/" +
           std::to_string(progress.lines) + "Lines)";
}

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
    ConversionState(ConversionHost& host, const RegionalFormat& regional,
                    const TextEncoding& encoding)
        : host_(host), encoding_(encoding), timeReader_(regional) {}

    std::string SentenceKey;
    std::string SecondKey;
    bool KeyEndsReports = false;
    int SecondDecimals = -1;
    double ThresholdTime = 0;
    double MaxTimeStep = 0;  // in days while reading
    std::int64_t LineCount = 0;
    OutputRows OutputLines;
    double MaxDelay = -1e10;
    double MinDelay = 1e10;
    StatisticsAccumulator Statistics;

    void HandleLine(std::string_view line) {
        std::size_t pos = FindKey(line, SentenceKey, 0);
        bool indexed = false;
        while (pos != std::string_view::npos) {
            // A report ends at the first CR, LF or "$" after its key, so a second
            // report or the residue of a broken frame on the line is not taken in.
            int count = 0;
            const std::size_t end =
                indexed ? lineReports_.Split(pos, SentenceKey.size(), fields_, count)
                        : SplitReport(line.substr(pos), SentenceKey.size(), fields_, count);
            if (SecondKey.empty() || fields_[5] == SecondKey) HandleAccepted();
            // A key that starts with "$" and holds no other cannot start inside
            // the report: the next one is at the report's end or later.
            const std::size_t next = pos + (end < kSearchStep ? end
                                            : KeyEndsReports  ? end
                                                              : kSearchStep);
            if (next >= line.size()) break;
            pos = FindKey(line, SentenceKey, next);
            // Reports after the first on a line may overlap (a key without "$"
            // repeated on a long line): split those through an index of the line.
            if (pos != std::string_view::npos && !indexed) {
                lineReports_.Index(line);
                indexed = true;
            }
        }
    }

    std::int64_t RowCount() const { return OutputLines.Count(); }

  private:
    void HandleAccepted() {
        const std::string_view delayText = fields_[7];
        const std::string_view timeText = fields_[6];
        const std::optional<double> readDelay = ReadFloat(delayText, kFieldDecimal);
        const double delay = readDelay.value_or(0.0);
        const double time = timeReader_.Read(timeText);
        const double utc = time - delay / kSecondsPerDay;
        if (delay > MaxDelay) MaxDelay = delay;
        if (delay < MinDelay) MinDelay = delay;
        const double alarmStep = host_.AlarmStep();
        Statistics.Add(time, delay, readDelay.has_value(), alarmStep);
        const double diff = delay - prevDelay_;
        const bool bigStep = std::fabs(utc - lastRowUtc_) >= MaxTimeStep;
        const bool limit = host_.LimitChecked();
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

    std::string_view Symbol() {
        std::string symbol = host_.SymbolOfAlarm();
        if (symbol != symbolSource_) {
            symbolSource_ = symbol;
            symbolEncoded_ = EncodeText(symbol, encoding_);
        }
        return symbolEncoded_;
    }

    ConversionHost& host_;
    const TextEncoding& encoding_;
    SentenceFields fields_;
    LineReports lineReports_;
    TimeStampReader timeReader_;
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
    explicit BusyCursor(ConversionHost& host) : host_(host) { host_.SetBusyCursor(true); }
    ~BusyCursor() { host_.SetBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    ConversionHost& host_;
};

// The inputs of one log, read from the host's fields once; a threshold or
// max time step that reads as 0 (empty or not a number) is replaced, in its
// box too.
void ReadParameters(ConversionHost& host, const std::string& decimal, ConversionState& state) {
    state.MaxTimeStep = ReadUserNumber(host.FieldText(HostField::MaxStep), decimal).value_or(0.0);
    state.ThresholdTime =
        ReadUserNumber(host.FieldText(HostField::TimeDiff), decimal).value_or(0.0);
    state.SentenceKey = std::string(Trim(host.FieldText(HostField::Key)));
    state.SecondKey = std::string(Trim(host.FieldText(HostField::SecKey)));
    state.KeyEndsReports = state.SentenceKey.rfind('$') == 0;
    if (state.MaxTimeStep == 0) {
        state.MaxTimeStep = ParseFloat(kMaxStepReplacement);
        host.SetFieldText(HostField::MaxStep, std::string(kMaxStepReplacement));
    }
    if (state.ThresholdTime == 0) {
        state.ThresholdTime = ParseFloat(kThresholdReplacement);
        host.SetFieldText(HostField::TimeDiff, std::string(kThresholdReplacement));
    }
}

// Reads the open log to its end, or until an abort, and closes it; the
// progress text and the host's events come every kProgressLines lines.
void ReadReports(LogReader& reader, ConversionHost& host, const std::string& name,
                 const std::string& decimal, ConversionState& state) {
    struct CloseReader {
        LogReader& reader;
        ~CloseReader() { reader.Close(); }
    } closeReader{reader};
    state.MaxTimeStep /= kSecondsPerDay;
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
            if (!line.empty()) state.HandleLine(line);
        }
        if (state.LineCount % kProgressLines == 0) {
            const Progress progress{reader.BytesRead(), reader.LogFileSize(), state.RowCount(),
                                    state.LineCount};
            host.ShowProgress(progress, ProgressText(name, progress, decimal));
            host.ProcessEvents();
        }
    }
}

// Writes the CSV all or nothing: false when Ctrl-C came during the write, and
// the earlier CSV stays. Throws IoError when it cannot be written.
bool WriteCsv(const std::unique_ptr<CsvOutput>& file, const RegionalFormat& regional,
              const TextEncoding& encoding, ConversionState& state) {
    const std::string summary = "," + std::to_string(state.RowCount()) + "," +
                                FormatGeneralNumber(state.MaxDelay, kFieldDecimal) + "," +
                                FormatGeneralNumber(state.MinDelay, kFieldDecimal);
    if (encoding.utf8 && !file->Write("\xEF\xBB\xBF")) file->Fail();
    // The separators join the CSV's text in its character set.
    RegionalFormat csvFormat = regional;
    csvFormat.dateSeparator = EncodeText(regional.dateSeparator, encoding);
    csvFormat.timeSeparator = EncodeText(regional.timeSeparator, encoding);
    TimeStampWriter times(csvFormat, state.SecondDecimals);
    const bool written =
        state.OutputLines.WriteAll("RMC time,UTC time,Time error,Count,Max,Min", summary, times,
                                   [&](std::string_view bytes) { return file->Write(bytes); });
    if (!written) file->Fail();
    if (AbortRequested) return false;
    file->Commit();
    return true;
}

}  // namespace

Converter::Converter(ConversionHost& host, RegionalFormat regional, TextEncoding encoding,
                     LogReader::Mode mode)
    : host_(host), regional_(std::move(regional)), encoding_(std::move(encoding)), reader_(mode) {}

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
            ConvertFile(entry, csv);
        else
            Refuse(entry, refusal);
    }
    if (AbortRequested) host_.SetStatus("Aborted by user!");
}

void Converter::Refuse(const std::string& name, const std::string& reason) {
    ++failedEntries_;
    host_.SetStatus("Error!");
    host_.ShowError("Can not Convert: " + name, reason);
}

void Converter::ConvertFile(std::string_view name) {
    ConvertFile(name, CsvFileName(name));
}

void Converter::ConvertFile(std::string_view nameView, const std::string& csvName) {
    const std::string name(nameView);
    try {
        ConvertLog(name, csvName);
    } catch (const DamagedLog& e) {
        // Part of a log is no log: nothing is written, the run goes on.
        ++failedEntries_;
        host_.SetStatus("Error!");
        host_.ShowError("Can not Open: " + name, e.what());
    }
}

void Converter::ConvertLog(const std::string& name, const std::string& csvName) {
    ConversionState state(host_, regional_, encoding_);
    ReadParameters(host_, regional_.decimalSeparator, state);
    if (!OpenLog(name, csvName)) return;
    host_.SetStatus(name);
    host_.ProcessEvents();

    const std::string decimals = host_.FieldText(HostField::SecDec);
    state.SecondDecimals = decimals.size() <= 2 ? ParseInt(decimals) : -1;
    BusyCursor cursor(host_);
    ReadReports(reader_, host_, name, regional_.decimalSeparator, state);

    lastStatistics_ = state.Statistics.Result();
    lastStatistics_.log = name;
    lastStatistics_.rows = state.RowCount();
    lastStatistics_.lines = state.LineCount;
    lastStatistics_.secondDecimals = state.SecondDecimals;
    lastStatistics_.frames = reader_.Frames();
    if (state.OutputLines.Empty()) {
        host_.SetStatus("No effective data.");
        if (!AbortRequested) host_.LogFinished(lastStatistics_);
        return;
    }
    if (AbortRequested) return;
    host_.SetStatus("Output..");
    if (!WriteCsv(files_ ? files_->OpenCsv(csvName) : OpenCsvOutput(csvName), regional_, encoding_,
                  state)) {
        return;
    }
    lastCsv_ = csvName;
    const std::string& decimal = regional_.decimalSeparator;
    host_.SetStatus("Completed:  Max=" + FormatGeneralNumber(state.MaxDelay, decimal) +
                    "Sec.  Min=" + FormatGeneralNumber(state.MinDelay, decimal) +
                    "Sec.  Output=" + std::to_string(state.RowCount()) + "/" +
                    std::to_string(state.LineCount) + "Lines");
    host_.LogFinished(lastStatistics_);
    host_.ProcessEvents();
    host_.Pause500ms();
}

bool Converter::OpenLog(const std::string& name, const std::string& csvName) {
    std::string reason;
    const bool fromStandardInput = dashIsStandardInput_ && name == "-";
    const bool opened = files_              ? files_->OpenLog(reader_, name, reason)
                        : fromStandardInput ? OpenStandardInput(reader_, reason)
                                            : reader_.OpenLogFile(name, &reason);
    if (!opened) {
        ++failedEntries_;
        host_.SetStatus("Error!");
        host_.ShowError("Can not Open: " + name, reason);
        return false;
    }
    if (!fromStandardInput && SameFile(csvName, name)) {
        // The output would overwrite the log it is made from.
        reader_.Close();
        Refuse(name, "The log has the extension .csv; its output would overwrite it.");
        return false;
    }
    return true;
}

}  // namespace tarnimex

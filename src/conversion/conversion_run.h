// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion run: turns a ";"-separated list of logs into CSV files beside
// them, one row per selected report, with count, maximum and minimum on the
// first row. It reaches its host only through ConversionHost, and tells what
// became of each log as a LogResult.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "conversion/abort_request.h"
#include "conversion/conversion_host.h"
#include "conversion/input/chunked_log.h"
#include "conversion/input/log_reader.h"
#include "conversion/input/seekable_log.h"
#include "conversion/io_errors.h"
#include "conversion/output/csv_file.h"
#include "conversion/output/file_names.h"
#include "conversion/statistics/statistics.h"
#include "platform/regional_format.h"

namespace tarnimex {

// What a threshold or max time step that reads as 0 (empty or not a number
// included) becomes, in its box too.
inline constexpr std::string_view kThresholdReplacement = "1.0";
inline constexpr std::string_view kMaxStepReplacement = "0.2";

// Where logs come from and CSVs go when not from and to the files named: the
// tests and the fuzzer convert in memory through this.
class ConversionFiles {
  public:
    virtual ~ConversionFiles() = default;
    // Opens the log into reader; false, with the reason, when it cannot be.
    virtual bool OpenLog(LogReader& reader, const std::string& name, std::string& reason) = 0;
    virtual std::unique_ptr<CsvOutput> OpenCsv(const std::string& csvName) = 0;
    // The log for reading by parts on several threads; none when it cannot be.
    virtual std::unique_ptr<SeekableLog> OpenSeekable(const std::string& /*name*/) {
        return nullptr;
    }
};

// What became of one log; the front ends count these and answer by them (the
// command line's exit code), while the texts shown stay the run's.
enum class LogOutcome {
    Converted,      // its CSV is written
    NoData,         // no report was selected (an abort may have come first): no CSV
    CouldNotOpen,   // the log could not be opened
    Damaged,        // its compressed data do not decode: no CSV
    Refused,        // its CSV would overwrite a log
    CouldNotWrite,  // its CSV could not be written; an earlier one stays
    Aborted,        // stopped before its CSV was written; an earlier one stays
};

struct LogResult {
    LogOutcome outcome = LogOutcome::Aborted;
    // Of the log as read (up to an abort): rows, lines, delays; empty when it
    // was not read.
    LogStatistics statistics;
};

class Converter {
  public:
    Converter(ConversionHost host, RegionalFormat regional, TextEncoding encoding,
              LogReader::Mode mode = LogReader::Mode::Fast);

    // Clears AbortRequested and converts each entry. Throws IoError when a CSV
    // cannot be written or a log cannot be read; the rest of the list is dropped.
    void ConvertFiles(std::string_view list);
    // One log into the CSV named by the caller; "-" writes it to standard
    // output, once complete. A CSV that cannot be written is shown as an error
    // and ends only this log; throws IoError when the log cannot be read.
    LogResult ConvertFile(std::string_view name, const std::string& csvName);
    // Shows why an entry is not converted (its CSV is another entry's).
    LogResult Refuse(const std::string& name, const std::string& reason);
    // From now on a log named "-" is standard input (the command line's).
    void ReadDashAsStandardInput() { dashIsStandardInput_ = true; }
    // From now on logs and CSVs go through files instead of the file system.
    void UseFiles(ConversionFiles& files) { files_ = &files; }
    // How a large log is split among threads (by default, one per core).
    void SplitLargeLogs(const ChunkPlan& plan) { plan_ = plan; }
    // From now on each log's statistics carry its timing metrics, taken after
    // warmUp seconds (see TimingSeries); they keep the whole series while the
    // log is read. None: no more metrics.
    void CollectTimingMetrics(std::optional<double> warmUp) { metricsWarmUp_ = warmUp; }

    // Whether a run is active (a nested run must not start).
    bool Running() const { return running_; }
    // The CSV written last (empty before the first): what the chart shows first.
    const std::string& LastCsv() const { return lastCsv_; }
    // Entries that could not be opened, or refused, since construction.
    std::int64_t FailedEntries() const { return failedEntries_; }
    // The statistics of the last log that was opened and read (up to an abort,
    // if there was one); empty before the first.
    const LogStatistics& LastStatistics() const { return lastStatistics_; }

  private:
    // One log; throws CsvError when its CSV cannot be written.
    LogResult ConvertEntry(const std::string& name, const std::string& csvName);
    LogResult ConvertLog(const std::string& name, const std::string& csvName);  // throws DamagedLog
    // Opens the log, or shows why not; what became of it when it is not to be
    // converted.
    std::optional<LogResult> OpenLog(const std::string& name, const std::string& csvName);
    // The open log as one to read in parts, when it is large enough and may be.
    std::unique_ptr<SeekableLog> SplittableLog(const std::string& name) const;

    ConversionHost host_;
    RegionalFormat regional_;
    TextEncoding encoding_;
    LogReader::Mode mode_;
    LogReader reader_;
    ChunkPlan plan_;
    std::optional<double> metricsWarmUp_;  // none: no metrics
    bool running_ = false;
    bool dashIsStandardInput_ = false;
    ConversionFiles* files_ = nullptr;
    std::int64_t failedEntries_ = 0;
    std::string lastCsv_;
    LogStatistics lastStatistics_;
};

}  // namespace tarnimex

#include "cli_run.h"

#include <ostream>

#include "cli_host.h"
#include "cli_options.h"
#include "cli_summary.h"
#include "conversion/conversion_run.h"
#include "conversion/sentence.h"
#include "settings/converter_settings.h"

namespace tarnimex {

namespace {

RegionalFormat Regional(const CliOptions& options) {
    RegionalFormat regional = RegionalFormatFromUserLocale();
    if (options.dateOrder) {
        regional.dateOrder = *options.dateOrder == "mdy"   ? DateOrder::MDY
                             : *options.dateOrder == "dmy" ? DateOrder::DMY
                                                           : DateOrder::YMD;
    }
    if (options.dateSeparator) regional.dateSeparator = *options.dateSeparator;
    if (options.timeSeparator) regional.timeSeparator = *options.timeSeparator;
    if (options.decimalSeparator) regional.decimalSeparator = *options.decimalSeparator;
    return regional;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool terminal) {
    CliOptions options;
    std::string error;
    if (!ParseCliOptions(args, options, error)) {
        err << "tarnimex-convert: " << error << "\nTry 'tarnimex-convert --help'.\n";
        return 2;
    }
    if (options.help) {
        out << CliUsage();
        return 0;
    }
    if (options.version) {
        out << "tarnimex-convert " << TARNIMEX_VERSION_TEXT << '\n';
        return 0;
    }
    if (options.logs.empty()) {
        err << "tarnimex-convert: no log given\nTry 'tarnimex-convert --help'.\n";
        return 2;
    }
    const RegionalFormat regional = Regional(options);
    CliFields fields;
    fields.key = options.key;
    fields.secondKey = options.secondKey;
    fields.decimals = options.decimals;
    fields.limit = options.limit;
    fields.threshold = options.threshold;
    fields.maxStep = options.maxStep;
    fields.alarmStep = 50.0;
    fields.alarmSymbol = "!!";
    if (options.settingsFile) {
        // The window's settings, as it would hold them after loading the file.
        try {
            const ConverterSettings settings =
                ReadConverterSettings(*options.settingsFile, regional);
            static const char* const kDecimals[] = {"Auto", "0", "1", "2", "3"};
            if (settings.key && !options.Given("key")) fields.key = *settings.key;
            if (settings.secondKey && !options.Given("second-key"))
                fields.secondKey = *settings.secondKey;
            if (settings.secDecIndex && !options.Given("decimals"))
                fields.decimals = kDecimals[*settings.secDecIndex];
            if (settings.limit && !options.Given("limit")) fields.limit = *settings.limit;
            if (settings.threshold && !options.Given("threshold"))
                fields.threshold = *settings.threshold;
            if (settings.maxStep && !options.Given("max-step")) fields.maxStep = *settings.maxStep;
            fields.alarmStep = settings.alarmStep;
            fields.alarmSymbol = settings.symbolOfAlarm;
        } catch (const SettingsError& e) {
            err << "tarnimex-convert: " << e.what() << '\n';
            return 2;
        }
    }
    if (options.alarmStep)
        fields.alarmStep = ParseFloat(*options.alarmStep, regional.decimalSeparator);
    if (options.alarmSymbol) fields.alarmSymbol = std::string(Trim(*options.alarmSymbol));

    CliHost host(std::move(fields), out, err, terminal, options.quiet);
    host.onLogFinished = [&](const LogStatistics& statistics) {
        if (options.summary == SummaryFormat::Text) out << SummaryText(statistics, regional);
        if (options.summary == SummaryFormat::Json) out << SummaryJson(statistics, regional);
        out << std::flush;
        err << UnreadableWarning(statistics) << std::flush;
    };
    Converter converter(host, regional, TextEncodingFromUserLocale());
    int status = 0;
    try {
        converter.ConvertFiles(JoinFileNames(options.logs));
    } catch (const IoError& e) {
        host.EndLiveLine();
        err << e.what() << '\n';
        status = 1;
    }
    host.EndLiveLine();
    out << std::flush;
    if (AbortRequested) return 130;
    if (converter.FailedEntries() > 0) status = 1;
    return status;
}

}  // namespace tarnimex

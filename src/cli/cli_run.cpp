#include "cli_run.h"

#include <ostream>

#include "cli_host.h"
#include "cli_options.h"
#include "conversion/conversion_run.h"
#include "conversion/sentence.h"

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

std::string JoinLogs(const std::vector<std::string>& logs) {
    std::string list;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        if (i > 0) list += ';';
        list += logs[i];
    }
    return list;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
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
    fields.alarmStep = ParseFloat(options.alarmStep.value_or("50.0"), regional.decimalSeparator);
    fields.alarmSymbol = std::string(Trim(options.alarmSymbol.value_or("!!")));

    CliHost host(std::move(fields), out, err, terminal, options.quiet);
    Converter converter(host, regional, TextEncodingFromUserLocale());
    int status = 0;
    try {
        converter.ConvertFiles(JoinLogs(options.logs));
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

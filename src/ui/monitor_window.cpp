// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/monitor_window.h"

#include <QApplication>
#include <QChart>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "conversion/output/file_names.h"
#include "live/live_input.h"
#include "platform/file_access.h"
#include "platform/path_names.h"
#include "report/test_report.h"
#include "settings/limits_file.h"
#include "settings/options.h"
#include "ui/chart_view.h"

namespace tarnimex {

namespace {

constexpr std::string_view kMonitorSection = "Monitor";
constexpr std::string_view kSourceKey = "Source";  // "serial" or "tcp"
constexpr std::string_view kPortKey = "Port";
constexpr std::string_view kBaudKey = "Baud";
constexpr std::string_view kAddressKey = "Address";
constexpr std::string_view kFolderKey = "Folder";

constexpr int kTickMs = 1000;
// Ports come and go (USB): the list is read again this often.
constexpr int kPortsMs = 2000;
// Reports arrive in bursts; the chart follows at most this often.
constexpr int kRedrawMs = 200;
// The timing metrics of a long watch take a while: the verdict follows at
// most a tenth of the time, and at least once a minute.
constexpr int kVerdictShare = 10;
constexpr int kMostTicksPerVerdict = 60;
constexpr int kBauds[] = {4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
constexpr const char* kSourcePrefixes[] = {"serial:", "tcp:", "file:"};

LiveTime Now() {
    return std::chrono::system_clock::now();
}

// A date-time value (days since 1899-12-30) as the chart's x.
double ChartX(double time) {
    return (time - kDaysFrom1899To1970) * kMsPerDay;
}

QString UtcText(double time) {
    if (time == 0) return "?";
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(ChartX(time))), Qt::UTC)
        .toString("yyyy-MM-dd hh:mm:ss");
}

QString Seconds(double value) {
    return QString::number(value, 'g', 6) + " s";
}

QDateTimeAxis* TimeAxis(QChart* chart) {
    return qobject_cast<QDateTimeAxis*>(chart->axes(Qt::Horizontal).first());
}

void SetLight(QLabel* light, bool alarm) {
    light->setText(alarm ? "ALARM" : "No alarm");
    light->setStyleSheet(alarm ? "background:#c62828; color:white; font-weight:bold; padding:6px"
                               : "background:#e0e0e0; color:#444444; padding:6px");
}

}  // namespace

TMonitorWindow::TMonitorWindow(ConversionSettingsSource& settings, RegionalFormat regional,
                               QWidget* parent)
    : QWidget(parent), settings_(settings), regional_(std::move(regional)) {
    setWindowTitle("Tarnimex monitor");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1100, 760);

    SerialChoice = new QRadioButton("Serial port");
    Ports = new QComboBox;
    Ports->setEditable(true);
    Ports->setInsertPolicy(QComboBox::NoInsert);
    Ports->setMinimumContentsLength(28);
    Ports->setToolTip("A port of the list, or its name typed in");
    Baud = new QComboBox;
    Baud->setEditable(true);
    for (const int baud : kBauds) Baud->addItem(QString::number(baud));
    Baud->setValidator(new QIntValidator(1, 100000000, Baud));
    TcpChoice = new QRadioButton("TCP address");
    Address = new QLineEdit;
    Address->setPlaceholderText("host:port");
    Address->setToolTip(
        "HOST:PORT of a serial-to-network bridge or a raw feed; file:PATH follows a file");
    connect(Ports, &QComboBox::editTextChanged, this, [this] { SerialChoice->setChecked(true); });
    connect(Address, &QLineEdit::textEdited, this, [this] { TcpChoice->setChecked(true); });
    SerialChoice->setChecked(true);

    Folder = new QLineEdit;
    Folder->setPlaceholderText("no recording");
    auto* browse = new QPushButton("Browse\u2026");
    connect(browse, &QPushButton::clicked, this, &TMonitorWindow::ChooseFolder);
    StartButton = new QPushButton("Start");
    StopButton = new QPushButton("Stop");
    connect(StartButton, &QPushButton::clicked, this, &TMonitorWindow::Start);
    connect(StopButton, &QPushButton::clicked, this, &TMonitorWindow::Stop);

    auto* source = new QGridLayout;
    source->addWidget(SerialChoice, 0, 0);
    source->addWidget(Ports, 0, 1);
    source->addWidget(new QLabel("Baud"), 0, 2);
    source->addWidget(Baud, 0, 3);
    source->addWidget(TcpChoice, 1, 0);
    source->addWidget(Address, 1, 1);
    source->addWidget(new QLabel("Record in"), 2, 0);
    source->addWidget(Folder, 2, 1);
    source->addWidget(browse, 2, 2, 1, 2);
    source->setColumnStretch(1, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(source, 1);
    top->addSpacing(12);
    top->addLayout(buttons);

    view_ = new TChartView(nullptr);
    FollowButton = new QPushButton("Follow the latest");
    FollowButton->setToolTip("Home");
    connect(FollowButton, &QPushButton::clicked, this, &TMonitorWindow::FollowLatest);
    redrawTimer_ = new QTimer(this);
    redrawTimer_->setSingleShot(true);
    connect(redrawTimer_, &QTimer::timeout, this, &TMonitorWindow::Redraw);
    NewChart();

    DelayLabel = new QLabel("\u2013");
    QFont large = DelayLabel->font();
    large.setPointSizeF(large.pointSizeF() * 2.6);
    large.setBold(true);
    DelayLabel->setFont(large);
    DelayLabel->setAlignment(Qt::AlignCenter);
    DelayLabel->setToolTip("The last report's delay");
    AlarmLight = new QLabel;
    AlarmLight->setAlignment(Qt::AlignCenter);
    SetLight(AlarmLight, false);
    StatisticsLabel = new QLabel;
    StatisticsLabel->setTextFormat(Qt::PlainText);
    StatisticsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StatisticsLabel->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    VerdictLabel = new QLabel;
    VerdictLabel->setTextFormat(Qt::RichText);
    VerdictLabel->setWordWrap(true);
    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(DelayLabel);
    sideLayout->addWidget(AlarmLight);
    sideLayout->addWidget(StatisticsLabel, 1);
    sideLayout->addWidget(VerdictLabel);
    sideLayout->addWidget(FollowButton);

    auto* upper = new QSplitter(Qt::Horizontal);
    upper->addWidget(view_);
    upper->addWidget(side);
    upper->setStretchFactor(0, 1);
    upper->setSizes({820, 260});
    Events = new QListWidget;
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(upper);
    splitter->addWidget(Events);
    splitter->setSizes({560, 140});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);

    tick_ = new QTimer(this);
    tick_->setInterval(kTickMs);
    connect(tick_, &QTimer::timeout, this, &TMonitorWindow::Tick);
    portsTimer_ = new QTimer(this);
    portsTimer_->setInterval(kPortsMs);
    connect(portsTimer_, &QTimer::timeout, this, &TMonitorWindow::ListPorts);
    portsTimer_->start();
    ListPorts();
    LoadChoices();
    ShowFigures();
    UpdateButtons();
}

TMonitorWindow::~TMonitorWindow() {
    Stop();
}

void TMonitorWindow::NewChart() {
    alarmStep_ = settings_.AlarmStep();
    // The view came with a chart of its own, which it hands back.
    QChart* old = view_->chart();
    chart_ = NewTimeChart(alarmStep_, alarmLines_);
    chart_->setTitle("Time error, live");
    series_.assign(1, ErrorSeries{"Reports", QColor(0x1f, 0x77, 0xb4), {}, {}, 0});
    lines_.assign(1, AddErrorSeries(chart_, series_[0]));
    view_->setChart(chart_);
    delete old;
    connect(TimeAxis(chart_), &QDateTimeAxis::rangeChanged, this, &TMonitorWindow::RangeChanged);
    connect(chart_, &QChart::plotAreaChanged, this, &TMonitorWindow::ScheduleRedraw);
    following_ = true;
}

void TMonitorWindow::ListPorts() {
    QStringList items;
    QStringList names;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        QString text = port.portName();
        const QString about =
            port.description().isEmpty() ? port.manufacturer() : port.description();
        if (!about.isEmpty()) text += " \u2013 " + about;
        items.append(text);
        names.append(port.portName());
    }
    QStringList shown;
    for (int i = 0; i < Ports->count(); ++i) shown.append(Ports->itemText(i));
    if (shown == items) return;
    // The port chosen or typed stays as it is.
    const QString current = Ports->currentText();
    const QSignalBlocker quiet(Ports);
    Ports->clear();
    for (qsizetype i = 0; i < items.size(); ++i) Ports->addItem(items[i], names[i]);
    Ports->setCurrentIndex(Ports->findText(current));
    Ports->setEditText(current);
}

void TMonitorWindow::ChooseFolder() {
    const QString folder = QFileDialog::getExistingDirectory(this, "Record in", Folder->text());
    if (!folder.isEmpty()) Folder->setText(QDir::toNativeSeparators(folder));
}

void TMonitorWindow::SetSource(const QString& text) {
    if (text.startsWith("serial:")) {
        SerialChoice->setChecked(true);
        QString port = text.mid(7);
        const qsizetype at = port.lastIndexOf('@');
        if (at >= 0) {
            Baud->setEditText(port.mid(at + 1));
            port.truncate(at);
        }
        const int listed = Ports->findData(port);
        if (listed >= 0) Ports->setCurrentIndex(listed);
        Ports->setEditText(listed >= 0 ? Ports->itemText(listed) : port);
        SerialChoice->setChecked(true);
    } else {
        Address->setText(text.startsWith("tcp:") ? text.mid(4) : text);
        TcpChoice->setChecked(true);
    }
}

QString TMonitorWindow::SourceText() const {
    if (SerialChoice->isChecked()) {
        const QString typed = Ports->currentText().trimmed();
        const int listed = Ports->findText(typed);
        const QString port = listed >= 0 ? Ports->itemData(listed).toString() : typed;
        if (port.isEmpty()) return {};
        return "serial:" + port + "@" + Baud->currentText().trimmed();
    }
    const QString address = Address->text().trimmed();
    for (const char* prefix : kSourcePrefixes)
        if (address.startsWith(prefix)) return address;
    return address.isEmpty() ? QString() : "tcp:" + address;
}

bool TMonitorWindow::Start() {
    if (Watching()) return true;
    const QString text = SourceText();
    if (text.isEmpty()) {
        ShowError(SerialChoice->isChecked() ? "Choose a serial port, or type its name."
                                            : "Type the address as host:port.");
        return false;
    }
    std::string error;
    const std::optional<SourceAddress> address =
        ParseSource(text.toStdString(), SerialLine{}, error);
    if (!address) {
        ShowError(QString::fromStdString(error));
        return false;
    }
    const std::string folder = Folder->text().trimmed().toStdString();
    if (!folder.empty() && !FolderAcceptsNewFiles(folder)) {
        ShowError(QString("Cannot record in %1: no new file can be made there.")
                      .arg(QString::fromStdString(folder)));
        return false;
    }
    // The tester's limits of the chart window judge the watch too.
    limits_.reset();
    limitsProblem_.clear();
    if (const std::string path = LoadChartLimitsFile(); !path.empty()) {
        try {
            limits_ = ReadLimitsFile(path);
        } catch (const std::exception& e) {
            limitsProblem_ = QString::fromStdString(e.what());
        }
    }
    SaveChoices();
    std::optional<LiveRecording> recording;
    if (!folder.empty())
        recording = LiveRecording{folder, 60, regional_, TextEncodingFromUserLocale()};
    NewChart();
    session_ = std::make_unique<LiveSession>(
        address->label, settings_, regional_, *this, recording,
        limits_ ? std::optional<double>(limits_->warmUp) : std::nullopt);
    input_ = std::make_unique<LiveInput>(*address, *session_, [] { return Now(); });
    connect(input_.get(), &LiveInput::ended, this, &TMonitorWindow::Stop, Qt::QueuedConnection);
    AddEvent("Watching " + text);
    ticksToVerdict_ = 0;
    tick_->start();
    input_->Start();
    ShowFigures();
    ShowVerdict();
    UpdateButtons();
    return true;
}

void TMonitorWindow::Stop() {
    if (!Watching()) return;
    tick_->stop();
    input_->Stop();
    session_->Stop(Now());
    input_.reset();
    AddEvent("Stopped");
    ShowFigures();
    ShowVerdict();
    Redraw();
    UpdateButtons();
}

void TMonitorWindow::UpdateButtons() {
    StartButton->setEnabled(!Watching());
    StopButton->setEnabled(Watching());
    FollowButton->setEnabled(!following_);
}

void TMonitorWindow::Tick() {
    if (!session_) return;
    session_->Tick(Now());
    ShowFigures();
    if (--ticksToVerdict_ <= 0) ShowVerdict();
}

void TMonitorWindow::ShowFigures() {
    if (!session_) {
        StatisticsLabel->setText("Not watching");
        return;
    }
    const LiveFigures& f = session_->Figures();
    const LogStatistics s = session_->Statistics();
    series_[0].gapStep = 1.5 * s.usualStep * 1000;
    QStringList lines;
    lines << QString(f.connected ? "Connected" : "Waiting for the source") + ", " +
                 QString::number(f.bytes) + " bytes";
    lines << QString("Reports: %1").arg(f.reports);
    if (s.delays > 0) {
        lines << "Mean: " + Seconds(s.mean) << "Std. dev.: " + Seconds(s.stddev)
              << "Min: " + Seconds(s.min) << "Max: " + Seconds(s.max) << "99%: " + Seconds(s.p99);
    }
    lines << QString("Alarm stretches: %1").arg(s.alarmStretches);
    lines << QString("Gaps: %1").arg(s.gaps);
    lines << QString("Outages: %1").arg(f.outages);
    const std::string log = session_->CurrentLog();
    if (!log.empty()) lines << "Log: " + QString::fromStdString(std::string(FileNamePart(log)));
    StatisticsLabel->setText(lines.join('\n'));
    SetLight(AlarmLight, f.alarm);
}

void TMonitorWindow::ShowVerdict() {
    if (!limitsProblem_.isEmpty()) {
        VerdictLabel->setText("<i>" + limitsProblem_.toHtmlEscaped() + "</i>");
        return;
    }
    if (!session_ || !limits_) {
        VerdictLabel->setText("<i>No limits file: the chart window chooses one</i>");
        return;
    }
    QElapsedTimer took;
    took.start();
    LogStatistics statistics;
    const std::optional<Verdict> verdict = JudgeSession(*session_, limits_, statistics);
    ticksToVerdict_ = std::min<int>(kMostTicksPerVerdict,
                                    static_cast<int>(took.elapsed() * kVerdictShare / kTickMs) + 1);
    if (!verdict) return;
    VerdictLabel->setText(
        "<b style=\"color:" + VerdictColour(*verdict) + "\">" +
        QString::fromStdString(VerdictLine(*verdict, ReportNumber)).toHtmlEscaped() + "</b>");
}

void TMonitorWindow::AddEvent(const QString& text, bool alarm) {
    auto* item =
        new QListWidgetItem(QDateTime::currentDateTime().toString("hh:mm:ss") + "  " + text);
    if (alarm) item->setForeground(QColor(0xc6, 0x28, 0x28));
    Events->addItem(item);
    while (Events->count() > kKeptEvents) delete Events->takeItem(0);
    Events->scrollToBottom();
}

void TMonitorWindow::ShowReport(double time, std::optional<double> delay) {
    if (!delay || time == 0) return;
    ErrorSeries& s = series_[0];
    const ChartPoint point{ChartX(time), *delay};
    // A receiver may step back in time; the chart's points stay in time order.
    const auto byX = [](const ChartPoint& a, const ChartPoint& b) { return a.x < b.x; };
    if (s.points.empty() || s.points.back().x <= point.x)
        s.points.push_back(point);
    else
        s.points.insert(std::upper_bound(s.points.begin(), s.points.end(), point, byX), point);
    if (alarmStep_ > 0 && std::abs(*delay) > alarmStep_)
        s.alarms.insert(std::upper_bound(s.alarms.begin(), s.alarms.end(), point, byX), point);
    // Memory stays bounded over days: the oldest eighth goes at once.
    if (s.points.size() > kKeptPoints) {
        s.points.erase(s.points.begin(), s.points.begin() + kKeptPoints / 8);
        const auto kept = std::lower_bound(s.alarms.begin(), s.alarms.end(), s.points.front(), byX);
        s.alarms.erase(s.alarms.begin(), kept);
    }
    DelayLabel->setText(Seconds(*delay));
    if (following_ && !redrawTimer_->isActive()) redrawTimer_->start(kRedrawMs);
}

void TMonitorWindow::FollowLatest() {
    following_ = true;
    UpdateButtons();
    Redraw();
}

void TMonitorWindow::ScheduleRedraw() {
    // A zoom moves the axis many times in a row; the thinning follows once.
    redrawTimer_->start(0);
}

void TMonitorWindow::RangeChanged() {
    if (settingRange_) return;
    // The user zoomed or scrolled: the view stays where it was put.
    if (following_) {
        following_ = false;
        UpdateButtons();
    }
    ScheduleRedraw();
}

void TMonitorWindow::Redraw() {
    const std::vector<ChartPoint>& points = series_[0].points;
    if (following_ && !points.empty()) {
        const double to = points.back().x;
        const double from = std::max(points.front().x, to - kFollowMs);
        ErrorSeries shown;
        shown.points.assign(std::lower_bound(points.begin(), points.end(), from,
                                             [](const ChartPoint& p, double x) { return p.x < x; }),
                            points.end());
        settingRange_ = true;
        FitTimeChart(chart_, {shown}, {alarmStep_});
        settingRange_ = false;
    }
    SpaceErrorTicks(chart_);
    DrawTimeChart(chart_, alarmLines_, alarmStep_, series_, lines_);
}

std::vector<ChartPoint> TMonitorWindow::DrawnPoints() const {
    std::vector<ChartPoint> drawn;
    for (const QLineSeries* line : lines_[0].lines)
        for (const QPointF& p : line->points()) drawn.push_back({p.x(), p.y()});
    return drawn;
}

void TMonitorWindow::Connected(LiveSession& session) {
    AddEvent("Connected to " + QString::fromStdString(session.Label()));
    ShowFigures();
}

void TMonitorWindow::Lost(LiveSession& session, const std::string& reason) {
    AddEvent("Lost " + QString::fromStdString(session.Label()) +
             ", trying again: " + QString::fromStdString(reason));
    ShowFigures();
}

void TMonitorWindow::Report(LiveSession&, double time, std::optional<double> delay) {
    ShowReport(time, delay);
}

void TMonitorWindow::AlarmStarted(LiveSession&, double time, double delay) {
    AddEvent("ALARM start at " + UtcText(time) + " UTC, delay " + Seconds(delay), true);
    SetLight(AlarmLight, true);
    QApplication::beep();
}

void TMonitorWindow::AlarmEnded(LiveSession&, const AlarmStretch& stretch) {
    AddEvent("ALARM end at " + UtcText(stretch.end) + " UTC, peak " + Seconds(stretch.peak) +
                 ", from " + UtcText(stretch.start),
             true);
    SetLight(AlarmLight, false);
}

void TMonitorWindow::LogOpened(LiveSession&, const std::string& path) {
    AddEvent("Recording into " + QString::fromStdString(path));
}

void TMonitorWindow::LogClosed(LiveSession&, const std::string& path, const LogResult& result) {
    if (result.outcome == LogOutcome::Converted) {
        AddEvent(QString("CSV written: %1 (%2 rows)")
                     .arg(QString::fromStdString(CsvFileName(path)))
                     .arg(result.statistics.rows));
    } else {
        AddEvent("Log closed without a CSV (no reports): " + QString::fromStdString(path));
    }
}

void TMonitorWindow::RecordingFailed(LiveSession&, const std::string& message) {
    AddEvent("Recording failed: " + QString::fromStdString(message), true);
}

void TMonitorWindow::LoadChoices() {
    const auto value = [](std::string_view key) {
        return QString::fromStdString(LoadWindowValue(kMonitorSection, key));
    };
    const QString port = value(kPortKey);
    if (!port.isEmpty()) SetSource("serial:" + port);
    if (const QString baud = value(kBaudKey); !baud.isEmpty()) Baud->setEditText(baud);
    Address->setText(value(kAddressKey));
    Folder->setText(value(kFolderKey));
    if (value(kSourceKey) == "tcp")
        TcpChoice->setChecked(true);
    else
        SerialChoice->setChecked(true);
    if (value(kBaudKey).isEmpty()) Baud->setEditText(QString::number(SerialLine{}.baud));
}

void TMonitorWindow::SaveChoices() {
    const int listed = Ports->findText(Ports->currentText().trimmed());
    const QString port =
        listed >= 0 ? Ports->itemData(listed).toString() : Ports->currentText().trimmed();
    SaveWindowValues(kMonitorSection, {{kSourceKey, TcpChoice->isChecked() ? "tcp" : "serial"},
                                       {kPortKey, port.toStdString()},
                                       {kBaudKey, Baud->currentText().trimmed().toStdString()},
                                       {kAddressKey, Address->text().trimmed().toStdString()},
                                       {kFolderKey, Folder->text().trimmed().toStdString()}});
}

void TMonitorWindow::closeEvent(QCloseEvent* event) {
    Stop();
    SaveChoices();
    event->accept();
}

void TMonitorWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home) return FollowLatest();
    if (!MoveChartByKey(chart_, event->key())) QWidget::keyPressEvent(event);
}

void TMonitorWindow::ShowError(const QString& text) {
    QMessageBox::warning(this, "Tarnimex monitor", text);
}

}  // namespace tarnimex

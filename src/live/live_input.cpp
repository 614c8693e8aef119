// SPDX-License-Identifier: GPL-3.0-or-later
#include "live/live_input.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTcpSocket>
#include <mutex>
#include <thread>

#include "platform/file_access.h"
#include "platform/system_error.h"

namespace tarnimex {

namespace {

// How often a followed file is looked at: its bytes arrive within this.
constexpr std::chrono::milliseconds kPoll{200};
// A connection attempt that takes longer is given up and tried again.
constexpr int kConnectTimeoutMs = 5000;
constexpr std::size_t kReadSize = 64 * 1024;

std::string Text(const QString& text) {
    return text.toStdString();
}

QSerialPort::Parity QtParity(Parity parity) {
    switch (parity) {
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::FlowControl QtFlow(FlowControl flow) {
    switch (flow) {
        case FlowControl::Hardware:
            return QSerialPort::HardwareControl;
        case FlowControl::Software:
            return QSerialPort::SoftwareControl;
        case FlowControl::None:
            break;
    }
    return QSerialPort::NoFlowControl;
}

}  // namespace

// Standard input is read on a thread of its own, which blocks in the read
// (no portable way waits for it in Qt's loop); what it reads is handed over
// under the lock and taken in the event loop. The thread outlives the input
// when the program ends during a read: it then finds no input to hand to.
struct LiveInput::StandardInput {
    std::mutex mutex;
    std::string pending;
    bool ended = false;
    std::string reason;
    LiveInput* owner = nullptr;
};

LiveInput::LiveInput(SourceAddress address, LiveSession& session, LiveClock clock)
    : address_(std::move(address)), session_(session), clock_(std::move(clock)) {
    retry_.setSingleShot(true);
    retry_.setInterval(kRetry);
    connect(&retry_, &QTimer::timeout, this, &LiveInput::Open);
    poll_.setInterval(kPoll);
    connect(&poll_, &QTimer::timeout, this, &LiveInput::FollowFile);
}

LiveInput::~LiveInput() {
    Stop();
}

void LiveInput::Start() {
    running_ = true;
    if (address_.kind == SourceKind::StandardInput) {
        StartStandardInput();
    } else if (address_.kind == SourceKind::File) {
        FollowFile();
        poll_.start();
    } else {
        Open();
    }
}

void LiveInput::Stop() {
    running_ = false;
    retry_.stop();
    poll_.stop();
    if (input_) {
        const std::lock_guard<std::mutex> lock(input_->mutex);
        input_->owner = nullptr;
    }
    if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
    delete std::exchange(serial_, nullptr);
    delete std::exchange(socket_, nullptr);
}

void LiveInput::Open() {
    if (!running_) return;
    if (address_.kind == SourceKind::Serial)
        OpenSerial();
    else
        OpenTcp();
}

void LiveInput::RetryLater() {
    if (running_) retry_.start();
}

void LiveInput::Lose(const QString& reason) {
    session_.Lost(Text(reason), clock_());
    RetryLater();
}

void LiveInput::OpenSerial() {
    auto* port = new QSerialPort(QString::fromStdString(address_.path), this);
    const SerialLine& line = address_.line;
    port->setBaudRate(line.baud);
    port->setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits));
    port->setParity(QtParity(line.parity));
    port->setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port->setFlowControl(QtFlow(line.flow));
    if (!port->open(QIODevice::ReadOnly)) {
        const QString reason = "cannot open " + port->portName() + ": " + port->errorString();
        delete port;
        Lose(reason);
        return;
    }
    serial_ = port;
    connect(port, &QSerialPort::readyRead, this, [this, port] {
        const QByteArray bytes = port->readAll();
        session_.Received(std::string_view(bytes.constData(), bytes.size()), clock_());
    });
    connect(port, &QSerialPort::errorOccurred, this, [this, port](QSerialPort::SerialPortError e) {
        // A port unplugged fails with a resource error; others may pass.
        if (e != QSerialPort::ResourceError && e != QSerialPort::PermissionError &&
            e != QSerialPort::DeviceNotFoundError && e != QSerialPort::ReadError) {
            return;
        }
        if (serial_ != port) return;
        const QString reason = port->errorString();
        serial_ = nullptr;
        port->deleteLater();
        Lose(reason);
    });
    session_.Connected(clock_());
}

void LiveInput::OpenTcp() {
    auto* socket = new QTcpSocket(this);
    socket_ = socket;
    auto* timeout = new QTimer(socket);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, socket, [socket] { socket->abort(); });
    connect(socket, &QTcpSocket::connected, this, [this, timeout] {
        timeout->stop();
        session_.Connected(clock_());
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        const QByteArray bytes = socket->readAll();
        session_.Received(std::string_view(bytes.constData(), bytes.size()), clock_());
    });
    const auto lose = [this, socket] {
        if (socket_ != socket) return;
        socket_ = nullptr;
        // The bytes that came with the close are still the connection's.
        const QByteArray bytes = socket->readAll();
        if (!bytes.isEmpty())
            session_.Received(std::string_view(bytes.constData(), bytes.size()), clock_());
        const QString reason = socket->error() == QAbstractSocket::UnknownSocketError
                                   ? QStringLiteral("connection closed")
                                   : socket->errorString();
        socket->deleteLater();
        Lose(QString::fromStdString(address_.host) + ":" + QString::number(address_.port) + ": " +
             reason);
    };
    connect(socket, &QTcpSocket::disconnected, this, lose);
    connect(socket, &QTcpSocket::errorOccurred, this, lose);
    timeout->start(kConnectTimeoutMs);
    socket->connectToHost(QString::fromStdString(address_.host),
                          static_cast<quint16>(address_.port));
}

void LiveInput::FollowFile() {
    if (!running_) return;
    const std::optional<FileIdentity> named = IdentityOfName(address_.path);
    if (file_ == nullptr) {
        if (!named) {
            fromStart_ = true;
            session_.Lost("waiting for " + address_.path + ": " + SystemReason(LastSystemError()),
                          clock_());
            return;
        }
        file_ = OpenForReading(address_.path);
        if (file_ == nullptr) {
            session_.Lost("cannot open " + address_.path + ": " + SystemReason(LastSystemError()),
                          clock_());
            return;
        }
        identity_ = IdentityOfFile(file_);
        // Like tail -F: what is appended from now on, all of a file that comes later.
        offset_ = fromStart_ ? 0 : std::max<std::int64_t>(SizeOfOpenFile(file_), 0);
        SeekTo(file_, offset_);
        session_.Connected(clock_());
    }
    // Truncated: read again from its start.
    const std::int64_t size = SizeOfOpenFile(file_);
    if (size >= 0 && size < offset_) {
        offset_ = 0;
        SeekTo(file_, 0);
    }
    std::string block(kReadSize, '\0');
    for (;;) {
        std::clearerr(file_);
        const std::size_t got = std::fread(block.data(), 1, block.size(), file_);
        if (got == 0) break;
        offset_ += static_cast<std::int64_t>(got);
        session_.Received(std::string_view(block.data(), got), clock_());
    }
    // Rotated (its name now another file's, or none's): the rest was read
    // above; the file of that name is followed from its start.
    if (named != identity_) {
        std::fclose(std::exchange(file_, nullptr));
        fromStart_ = true;
        if (named) FollowFile();
    }
}

void LiveInput::StartStandardInput() {
    input_ = std::make_shared<StandardInput>();
    input_->owner = this;
    session_.Connected(clock_());
    std::thread([input = input_] {
        std::string block(kReadSize, '\0');
        for (;;) {
            const std::int64_t got = ReadStandardInput(block.data(), block.size());
            const std::lock_guard<std::mutex> lock(input->mutex);
            if (got > 0) {
                const bool wasEmpty = input->pending.empty();
                input->pending.append(block.data(), static_cast<std::size_t>(got));
                if (!wasEmpty) continue;
            } else {
                input->ended = true;
                if (got < 0) input->reason = SystemReason(LastSystemError());
            }
            if (input->owner != nullptr) {
                QMetaObject::invokeMethod(input->owner, &LiveInput::TakeStandardInput,
                                          Qt::QueuedConnection);
            }
            if (got <= 0) return;
        }
    }).detach();
}

void LiveInput::TakeStandardInput() {
    std::string bytes;
    bool ended = false;
    std::string reason;
    {
        const std::lock_guard<std::mutex> lock(input_->mutex);
        bytes.swap(input_->pending);
        ended = input_->ended;
        reason = input_->reason;
    }
    if (!bytes.empty()) session_.Received(bytes, clock_());
    if (ended && !ended_) {
        ended_ = true;
        session_.Ended(reason.empty() ? "end of standard input" : "standard input: " + reason,
                       clock_());
        emit this->ended();
    }
}

}  // namespace tarnimex

// SPDX-License-Identifier: GPL-3.0-or-later
// Receives a source's bytes with Qt and hands them to its LiveSession: a
// serial port (Qt SerialPort), a TCP client (Qt Network), a followed file, or
// standard input. A port or connection that is lost or cannot be opened is
// tried again every second for as long as the input runs; a followed file is
// read on through rotation and truncation. Runs in the thread of Qt's event
// loop.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "live/live_session.h"
#include "live/source_address.h"
#include "platform/stream_file.h"

class QSerialPort;
class QTcpSocket;

namespace tarnimex {

using LiveClock = std::function<LiveTime()>;

class LiveInput : public QObject {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kRetry{1000};

    LiveInput(SourceAddress address, LiveSession& session, LiveClock clock);
    ~LiveInput() override;

    void Start();
    // Stops receiving; the session is the caller's to stop.
    void Stop();
    // Whether the source has ended for good (standard input at its end).
    bool Ended() const { return ended_; }

  signals:
    void ended();

  private:
    void Open();
    void OpenSerial();
    void OpenTcp();
    void FollowFile();
    void StartStandardInput();
    void TakeStandardInput();
    void Lose(const QString& reason);
    void RetryLater();

    SourceAddress address_;
    LiveSession& session_;
    LiveClock clock_;
    QTimer retry_;
    bool running_ = false;
    bool ended_ = false;

    QSerialPort* serial_ = nullptr;
    QTcpSocket* socket_ = nullptr;

    // The followed file: the one open, where it was read to, and which it is.
    QTimer poll_;
    std::FILE* file_ = nullptr;
    std::int64_t offset_ = 0;
    std::optional<FileIdentity> identity_;
    bool fromStart_ = false;  // a file that appears later is read from its start

    struct StandardInput;
    std::shared_ptr<StandardInput> input_;
};

}  // namespace tarnimex

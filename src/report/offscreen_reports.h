// SPDX-License-Identifier: GPL-3.0-or-later
// Reports made by a program without a window of its own (the command line):
// the first report starts Qt on the offscreen platform, unless another is
// asked for, so that no display is needed.
#pragma once

#include <memory>

#include "report/test_report.h"

class QApplication;

namespace tarnimex {

class OffscreenReports : public ReportWriter {
  public:
    OffscreenReports();
    ~OffscreenReports() override;
    ReportFiles WriteLog(const ReportInput& input, const std::string& dir) override;
    void WriteIndex(const std::vector<ReportInput>& inputs, const std::string& dir) override;

  private:
    void StartQt();
    std::unique_ptr<QApplication> application_;
};

}  // namespace tarnimex

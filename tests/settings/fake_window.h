// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the main window as the settings load and save see it.
#pragma once

#include <map>
#include <string>

#include "settings/options.h"

namespace tarnimex::testing {

// The window as designed: 620 x 172 at (100, 200) on a 1920 x 1040 work area.
class FakeWindow : public OptionsWindow {
  public:
    std::map<HostField, std::string> edits{{HostField::Key, "$GPTXT"},
                                           {HostField::SecKey, "RMC delay"},
                                           {HostField::TimeDiff, "0.2"},
                                           {HostField::MaxStep, "10.0"}};
    int secDec = -1;
    bool limit = false;
    int clicks = 0;
    Rect outer{100, 200, 720, 372};

    std::string EditText(HostField edit) override { return edits[edit]; }
    void SetEditText(HostField edit, const std::string& text) override { edits[edit] = text; }
    int SecDecIndex() override { return secDec; }
    void SetSecDecIndex(int index) override { secDec = index; }
    bool LimitChecked() override { return limit; }
    void SetLimitChecked(bool checked) override {
        if (checked != limit) ++clicks;
        limit = checked;
    }
    Rect OuterRect() override { return outer; }
    void SetTop(int top) override { outer = {outer.left, top, outer.right, top + 172}; }
    void SetLeft(int left) override { outer = {left, outer.top, left + 620, outer.bottom}; }
    Rect GetWorkArea() override { return {0, 0, 1920, 1040}; }
};

}  // namespace tarnimex::testing

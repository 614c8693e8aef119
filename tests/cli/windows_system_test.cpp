// SPDX-License-Identifier: GPL-3.0-or-later
// What only Windows itself can show: its regional settings and ANSI code page
// reach the CSV, names beyond the code page pass the command line, and the
// settings files that its own profile functions write are read (and ours are
// read by them).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "platform/path_names.h"
#include "platform/regional_format.h"
#include "settings/profile_file.h"
#include "support/files.h"
#include "support/frames.h"
#include "support/scratch_folder.h"

namespace tarnimex {
namespace {

const std::string kReport = test::ReportLine("2023/07/05 12:34:56.000", "0.123");

// One value of the user's regional settings, put back when the test ends.
class InternationalValue {
  public:
    InternationalValue(const wchar_t* name, const wchar_t* value) : name_(name) {
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\International", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
        wchar_t old[128];
        DWORD size = sizeof old;
        had_ = RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(old),
                                &size) == ERROR_SUCCESS;
        if (had_) old_ = old;
        Set(value);
    }
    ~InternationalValue() {
        if (had_) {
            Set(old_.c_str());
        } else {
            RegDeleteValueW(key_, name_);
        }
        RegCloseKey(key_);
    }

  private:
    void Set(const wchar_t* value) {
        RegSetValueExW(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    const wchar_t* name_;
    HKEY key_ = nullptr;
    bool had_ = false;
    std::wstring old_;
};

// tarnimex-convert started through the wide command line, as a shell would,
// its status lines going to the file statusFile (none when empty); its exit code.
DWORD RunConverter(const std::vector<std::string>& args, const std::string& statusFile = {}) {
    const std::wstring program = std::filesystem::path(TARNIMEX_CONVERT).make_preferred().wstring();
    std::wstring line = L"\"" + program + L"\"" + (statusFile.empty() ? L" --quiet" : L"");
    for (const std::string& arg : args) line += L" \"" + WideFromUtf8(arg) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE status = INVALID_HANDLE_VALUE;
    if (!statusFile.empty()) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        status = CreateFileW(WideFromUtf8(statusFile).c_str(), GENERIC_WRITE, 0, &inherited,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = status;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process{};
    DWORD code = 255;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, !statusFile.empty(), 0, nullptr,
                       nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (status != INVALID_HANDLE_VALUE) CloseHandle(status);
    return code;
}

class WindowsSystem : public test::ScratchFolderTest {
  protected:
    std::string Bytes(const std::string& name) const {
        return test::ReadFile(PathFromUtf8(Path(name)));
    }
};

TEST_F(WindowsSystem, RegionalSettingsShapeTheCsv) {
    const std::string log = Log("a.nmea", kReport);
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"--quiet", "--date-order=dmy", "--date-sep=.", "--decimal-sep=,", "--output",
                      Path("explicit.csv"), log},
                     out, err, false),
              0);
    const InternationalValue order(L"sShortDate", L"dd.MM.yyyy");
    const InternationalValue date(L"sDate", L".");
    const InternationalValue decimal(L"sDecimal", L",");
    ASSERT_EQ(RunConverter({log}), 0u);
    EXPECT_EQ(Bytes("a.csv"), Bytes("explicit.csv"));
    EXPECT_NE(Bytes("a.csv").find("2023.07.05 12:34:56"), std::string::npos);
}

TEST_F(WindowsSystem, AlarmSymbolInTheAnsiCodePageWithoutAMark) {
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page here is " << GetACP() << ", not 1252";
    const std::string log = Log("a.nmea", kReport);
    ASSERT_EQ(RunConverter({"--alarm-step=0.1", "--alarm-symbol=\u20AC\u00A7", log}), 0u);
    const std::string csv = Bytes("a.csv");
    EXPECT_NE(csv.rfind("\xEF\xBB\xBF", 0), 0u) << "no byte-order mark";
    EXPECT_NE(csv.find("\x80\xA7"), std::string::npos) << csv;
}

TEST_F(WindowsSystem, NamesBeyondTheCodePageConvert) {
    for (const char* name : {"\u20ACuro", "\u65E5\u672C", "Z\u00E4hler"}) {
        const std::string log = Log(std::string(name) + ".nmea", kReport);
        EXPECT_EQ(RunConverter({log}), 0u) << name;
        EXPECT_FALSE(Bytes(std::string(name) + ".csv").empty()) << name;
    }
}

TEST_F(WindowsSystem, StatusLinesToAFileAreTextWithoutConsoleSequences) {
    const std::string log = Log("a.nmea", kReport);
    ASSERT_EQ(RunConverter({log}, Path("status.txt")), 0u);
    const std::string status = Bytes("status.txt");
    EXPECT_NE(status.find("Completed:"), std::string::npos) << status;
    EXPECT_EQ(status.find('\x1b'), std::string::npos) << status;
}

TEST_F(WindowsSystem, SettingsFilesOfTheSystemsProfileFunctions) {
    // An 8-bit file as the system writes one, in the ANSI code page.
    const std::wstring ansi = WideFromUtf8(Path("ansi.ini"));
    ASSERT_TRUE(
        WritePrivateProfileStringW(L"Option", L"SymbolOfAlarm", L"\u00A7\u00E4", ansi.c_str()));
    EXPECT_EQ(ReadProfileFile(Path("ansi.ini")).Read("Option", "SymbolOfAlarm"), "\u00A7\u00E4");

    // Ours, UTF-16, read by the system.
    ProfileFile ours = ProfileFile::NewUtf16();
    ours.Write("Option", "KeyText", "$GP\u65E5");
    test::WriteFile(PathFromUtf8(Path("ours.ini")), ours.ToBytes());
    wchar_t value[64] = {};
    GetPrivateProfileStringW(L"Option", L"KeyText", L"", value, 64,
                             WideFromUtf8(Path("ours.ini")).c_str());
    EXPECT_EQ(Utf8FromWide(value), "$GP\u65E5");
}

}  // namespace
}  // namespace tarnimex

// The progress dialog run for real on the test display: its texts and bar
// as the pass goes, where it opens, what it returns, and the lists it
// leaves behind.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "pass_bed.h"
#include "resource.h"
#include "run_state.h"
#include "site_address.h"
#include "update_pass.h"
#include "wine_files.h"

namespace {

// What the dialog showed, recorded as its texts are set.
struct Seen {
    std::vector<std::string> status;
    std::vector<std::string> percent;
    std::vector<int> barAtPercent;  // the bar's position as each percent text is set
    int barAtDone = -1;
    int barMaxAtDone = -1;
    RECT placeAtDone = {};
    bool visibleAtDone = false;
    std::string captionAtDone;
};

Seen* seen;
HHOOK sendHook;

std::string text(HWND window)
{
    char buffer[512];
    int n = GetWindowTextA(window, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? n : 0);
}

LRESULT CALLBACK watchTexts(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    HWND dialog = GetParent(sent->hwnd);
    HWND bar = dialog ? GetDlgItem(dialog, IDC_PROGRESS_BAR) : nullptr;
    if (code == HC_ACTION && seen && sent->message == WM_SETTEXT && bar) {
        std::string newText = reinterpret_cast<const char*>(sent->lParam);
        int id = GetDlgCtrlID(sent->hwnd);
        if (id == IDC_PERCENT) {
            seen->percent.push_back(newText);
            seen->barAtPercent.push_back(int(SendMessageA(bar, PBM_GETPOS, 0, 0)));
        }
        if (id == IDC_STATUS) {
            seen->status.push_back(newText);
            if (newText == "Done...") {
                seen->barAtDone = int(SendMessageA(bar, PBM_GETPOS, 0, 0));
                seen->barMaxAtDone = int(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
                GetWindowRect(dialog, &seen->placeAtDone);
                seen->visibleAtDone = IsWindowVisible(dialog);
                seen->captionAtDone = text(dialog);
            }
        }
    }
    return CallNextHookEx(sendHook, code, wParam, lParam);
}

// Runs the progress dialog as the program does, watching its texts.
INT_PTR runWatched(Seen& record)
{
    seen = &record;
    sendHook = SetWindowsHookExA(WH_CALLWNDPROC, watchTexts, nullptr, GetCurrentThreadId());
    REQUIRE(sendHook);
    INT_PTR result = runUpdatePass(GetModuleHandleA(nullptr));
    UnhookWindowsHookEx(sendHook);
    seen = nullptr;
    return result;
}

// Texts in the order they were shown, as one line for readable failures.
std::string shown(const std::vector<std::string>& texts)
{
    std::string line;
    for (const std::string& t : texts)
        line += (line.empty() ? "" : " | ") + t;
    return line;
}

std::string shown(const std::vector<int>& positions)
{
    std::string line;
    for (int p : positions)
        line += (line.empty() ? "" : " | ") + std::to_string(p);
    return line;
}

}  // namespace

TEST_CASE("three sections: 33 %, 66 %, 100 %, then Done... at the top-left corner")
{
    PassBed bed;
    bed.writeServiceIni(iniText({"[Velkor]", "Version=3", "[IWarBands]", "EXECUTECount=1", "[0 IWARBANDS]",
                                 "StartIn=C:\\vkpass\\Warbands"}));
    std::string dir = bed.gameDir("Warbands");
    REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI", iniText({"[iWarBands]", "EXECUTECount=1"})));
    bed.installStandIn(dir);

    Seen record;
    CHECK(runWatched(record) == 1);
    CHECK(shown(record.percent) == "  0 % | 33 % | 66 % | 100 %");
    CHECK(shown(record.barAtPercent) == "0 | 1 | 2 | 3");
    CHECK(shown(record.status) == "Updating: Warbands II | Done...");
    CHECK(record.barAtDone == 3);
    CHECK(record.barMaxAtDone == 3);
    CHECK(record.visibleAtDone);
    CHECK(record.captionAtDone == "Updating Velkor Games");
    CHECK(record.placeAtDone.left == 0);
    CHECK(record.placeAtDone.top == 0);

    CHECK(std::string(runState.updatedList) == "Warbands II\n");
    CHECK(std::string(runState.failedList) == "");
    StartReport report = waitForStart(dir);
    CHECK(report.commandLine == dir + "\\VGOSETUP.EXE " + dir + "\\VGOSETUP.INI");
    CHECK(readBinaryFile(dir + "\\VGOSETUP.INI") == iniText({"[iWarBands]", "EXECUTECount=1", "StartIn=<current>"}));
}

TEST_CASE("one section: 100 % at once")
{
    PassBed bed;
    bed.writeServiceIni(iniText({"[iNoExec]", "Path=C:\\vkpass"}));
    Seen record;
    CHECK(runWatched(record) == 1);
    CHECK(shown(record.percent) == "  0 % | 100 %");
    CHECK(shown(record.status) == "Searching for game clients... | Done...");
    CHECK(std::string(runState.updatedList) == "");
    CHECK(std::string(runState.failedList) == "");
}

TEST_CASE("sections that are not games leave the status alone until Done...")
{
    PassBed bed;
    bed.writeServiceIni(iniText({"[Velkor]", "a=1", "[1 irampart]", "StartIn=C:\\vkpass", "[Games]", "b=2"}));
    Seen record;
    CHECK(runWatched(record) == 1);
    CHECK(shown(record.percent) == "  0 % | 33 % | 66 % | 100 %");
    CHECK(shown(record.status) == "Done...");
    CHECK(std::string(runState.updatedList) == "");
    CHECK(std::string(runState.failedList) == "");
}

TEST_CASE("no section names: one box about the System Components, result 0, no steps")
{
    PassBed bed;
    const std::string components =
        "There is a problem with your current Velkor System Components, the update cannot complete.\n"
        "Please download the Velkor System Components from " VK_SITE_ADDRESS " and reinstall it.";
    SUBCASE("no service INI file") {}
    SUBCASE("a service INI file without sections")
    {
        bed.writeServiceIni("; nothing installed\r\n");
    }
    MessageBoxCatcher catcher;
    Seen record;
    CHECK(runWatched(record) == 0);
    REQUIRE(catcher.boxes.size() == 1);
    CHECK(catcher.boxes[0].caption == "Update Velkor Games Error Message");
    CHECK(catcher.boxes[0].text == components);
    CHECK(record.percent.empty());
    CHECK(record.status.empty());
}

TEST_CASE("under -d a failure's box belongs to the progress dialog, and the pass goes on")
{
    PassBed bed;
    runState.showErrors = 1;
    bed.writeServiceIni(iniText({"[IBroken]", "EXECUTECount=1", "[iduskfall]", "EXECUTECount=1",
                                 "StartIn=C:\\vkpass"}));
    MessageBoxCatcher catcher;
    Seen record;
    CHECK(runWatched(record) == 1);
    REQUIRE(catcher.boxes.size() == 1);
    CHECK(catcher.boxes[0].text
          == "There is an error in the \"ibroken\" section of your VELKORGO.INI file.\n"
             " You may need to download and install this game client again.");
    CHECK(catcher.boxes[0].ownerCaption == "Updating Velkor Games");
    CHECK(shown(record.status)
          == "Updating: ibroken | Updating: Duskfall | Searching for game clients... | Done...");
    CHECK(std::string(runState.failedList) == "ibroken\n");
}

TEST_CASE("more failed games than the list holds: it ends with ... and is never overrun")
{
    PassBed bed;
    // Installers that wrote the same game section again and again; each
    // copy is listed, and each fails.
    std::string ini;
    for (int i = 0; i < 400; ++i)
        ini += (i % 2 ? "[ITunnelRun]\r\n" : "[itunnelrun]\r\n") + std::string("EXECUTECount=1\r\n");
    bed.writeServiceIni(ini);
    runState.failedList[kListSize - 1] = '#';  // a sentinel the list must never reach

    Seen record;
    CHECK(runWatched(record) == 1);
    std::string failed = runState.failedList;
    std::string line = "Tunnel Runner Online\n";
    size_t titles = (kListSize - 1 - 4) / line.size();
    std::string expected;
    for (size_t i = 0; i < titles; ++i)
        expected += line;
    CHECK(failed == expected + "...\n");
    CHECK(record.percent.size() > titles + 1);  // more games than titles fitted
    CHECK(record.percent.back() == "100 %");
    CHECK(record.status.back() == "Done...");
    CHECK(runState.failedList[kListSize - 1] == '#');
}

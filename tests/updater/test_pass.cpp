// The update pass against real files in the prefix: the service INI file in
// the Windows directory, game directories with setup INIs and copies of a
// stand-in setup program that writes down how it was started. Every outcome
// of one game section, then the progress dialog run for real.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "pass_limits.h"
#include "resource.h"
#include "run_state.h"
#include "update_game.h"
#include "update_pass.h"
#include "wine_files.h"

namespace {

const std::string kRoot = "C:\\vkpass";
const std::string kServiceIni = windowsDirectory() + "\\VELKORGO.INI";

// INI text from lines separated by '|', each ended by CR LF as the profile
// service writes them, so that rewritten files compare byte for byte.
std::string iniText(std::string lines)
{
    for (size_t at = 0; (at = lines.find('|', at)) != std::string::npos;)
        lines.replace(at, 1, "\r\n");
    return lines + "\r\n";
}

// A setup INI as a game's installer leaves it, or after the pass marked it.
std::string setupIni(const std::string& section, bool marked = false, bool count = true)
{
    return iniText("; Velkor setup|[Setup]|Version=7|[" + section + "]|"
                   + (count ? "EXECUTECount=2|" : "") + "Path=C:\\Games|"
                   + (marked ? "StartIn=<current>|" : "") + "[Zeta]|z=1");
}

void installStandIn(const std::string& dir)
{
    CreateDirectoryA(dir.c_str(), nullptr);
    char self[MAX_PATH];
    std::string path(self, GetModuleFileNameA(nullptr, self, sizeof self));
    path = path.substr(0, path.rfind('\\') + 1) + "setup_recorder.exe";
    REQUIRE(CopyFileA(path.c_str(), (dir + "\\VGOSETUP.EXE").c_str(), FALSE));
}

// The stand-in's report from dir ("command line\nshow N\n"), "" if none came.
std::string startReport(const std::string& dir, int waitMs = 0)
{
    std::string report;
    for (int waited = 0; (report = readBinaryFile(dir + "\\STARTED.TXT")).empty() && waited < waitMs;
         waited += 50)
        Sleep(50);
    return report;
}

std::string textOf(HWND window)
{
    char text[1024];
    int n = GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? n : 0);
}

// Message boxes shown on this thread, as "caption: text", each closed with
// OK at once; and the owner of the last.
std::vector<std::string> boxes;
HWND lastBoxOwner;
HHOOK cbtHook;

LRESULT CALLBACK catchBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    HWND box = reinterpret_cast<HWND>(wParam);
    HWND text = code == HCBT_ACTIVATE ? GetDlgItem(box, 0xFFFF) : nullptr;
    if (text) {
        boxes.push_back(textOf(box) + ": " + textOf(text));
        lastBoxOwner = GetWindow(box, GW_OWNER);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(cbtHook, code, wParam, lParam);
}

// A fresh run state, the service INI file, and the box catcher while it lives.
struct Bed {
    explicit Bed(const std::string& serviceLines, int showErrors = 0)
    {
        runState = RunState{GetModuleHandleA(nullptr), showErrors, 0, "", ""};
        boxes.clear();
        cbtHook = SetWindowsHookExA(WH_CBT, catchBoxes, nullptr, GetCurrentThreadId());
        REQUIRE(writeBinaryFile(kServiceIni, iniText(serviceLines)));
    }
    ~Bed()
    {
        UnhookWindowsHookEx(cbtHook);
        removeFile(kServiceIni);
    }
};

}  // namespace

TEST_CASE("every outcome of one game section, with message boxes under -d")
{
    const std::string longName = "i" + std::string(77, 'x');  // "1 " and it: 80, too long
    const std::string longerName = "i" + std::string(99, 'y');  // longer than a title
    Bed bed("[Velkor]|Version=3|[iNoExec]|Path=C:\\vkpass\\NoExec"
            "|[inokey]|EXECUTECount=NOKEY|[-1 inokey]|StartIn=C:\\vkpass\\NoKey"
            "|[iduskfall]|EXECUTECount=1|StartIn=C:\\vkpass\\Duskfall"
            "|[0 iduskfall]|StartIn=C:\\vkpass\\Duskfall"
            "|[ibroken]|EXECUTECount=3|[0 ibroken]|StartIn=C:\\vkpass\\Broken"
            "|[" + longName + "]|EXECUTECount=2|[1 " + longName.substr(0, 77)
                + "]|StartIn=C:\\vkpass\\Long"
            "|[" + longerName + "]|EXECUTECount=1"
            "|[imissing]|EXECUTECount=1|[0 imissing]|StartIn=C:\\vkpass\\Missing"
            "|[inocount]|EXECUTECount=1|[0 inocount]|StartIn=C:\\vkpass\\NoCount"
            "|[iquizhall]|EXECUTECount=1|[0 iquizhall]|StartIn=C:\\vkpass\\QuizHall"
            "|[IWarBands]|EXECUTECount=1|[0 iwarbands]|StartIn=C:\\vkpass\\Warbands"
            "|[iblotball]|EXECUTECount=1|[0 iblotball]|StartIn=C:\\vkpass\\Blotball"
            "|[IRampart]|EXECUTECount=2|[1 IRampart]|StartIn=C:\\vkpass\\Rampart"
            "|[itunnelrun]|EXECUTECount=1|[0 itunnelrun]|StartIn=C:\\vkpass\\Velkor Games"
            "|[ispellgale]|EXECUTECount=1|[0 ispellgale]|StartIn=C:\\vkpass\\Spellgale"
            "|[izero]|EXECUTECount=0|[-1 izero]|StartIn=C:\\vkpass\\Zero"
            "|[iempty]|EXECUTECount=|[-1 iempty]|StartIn=C:\\vkpass\\Empty"
            "|[iletters]|EXECUTECount=abc|[-1 iletters]|StartIn=C:\\vkpass\\Letters",
            1);
    // The outcomes, from a section stepped over to a setup program started.
    enum Outcome { kUntouched, kSearching, kBadEntry, kNoSetupIni, kWriteFails, kNoProgram, kStarted };
    const struct Row {
        std::string section;  // as the pass hands it over: lower-cased
        const char* dir;      // the game's directory under kRoot, or ""
        const char* spelled;  // the section as its setup INI spells it; "" for no setup INI
        std::string title;
        Outcome outcome;
    } rows[] = {
        {"velkor", "", "", "", kUntouched},
        {"inoexec", "", "", "", kSearching},
        {"inokey", "NoKey", "inokey", "", kSearching},           // NOKEY counts as none
        {"iduskfall", "Duskfall", "iduskfall", "", kSearching},  // its own StartIn
        {"ibroken", "Broken", "ibroken", "ibroken", kBadEntry},  // "2 ibroken" is missing
        {longName, "Long", longName.c_str(), longName, kBadEntry},
        {longerName, "", "", longerName.substr(0, kTitleSize - 1), kBadEntry},
        {"imissing", "Missing", "", "imissing", kNoSetupIni},
        {"inocount", "NoCount", "inocount", "inocount", kNoSetupIni},  // no EXECUTECount
        {"iquizhall", "QuizHall", "IQuizHall", "Quiz Hall Live", kWriteFails},
        {"iwarbands", "Warbands", "iwarbands", "Warbands II", kNoProgram},  // read-only
        {"iblotball", "Blotball", "iblotball", "Blotball", kNoProgram},  // will not start
        {"irampart", "Rampart", "IRAMPART", "Rampart Realms", kStarted},
        {"itunnelrun", "Velkor Games", "itunnelrun", "Tunnel Runner Online", kStarted},
        {"ispellgale", "Spellgale", "ispellgale", "Spellgale", kStarted},  // read-only INI
        // EXECUTECount 0, empty, without digits: the entry section is "-1 name".
        {"izero", "Zero", "izero", "izero", kStarted},
        {"iempty", "Empty", "iempty", "iempty", kStarted},
        {"iletters", "Letters", "iletters", "iletters", kStarted},
    };
    installStandIn(kRoot);  // what an unquoted command line would start first
    REQUIRE(MoveFileA((kRoot + "\\VGOSETUP.EXE").c_str(), (kRoot + "\\Velkor.exe").c_str()));
    for (const Row& row : rows) {
        std::string dir = kRoot + "\\" + row.dir;
        if (*row.dir)
            installStandIn(dir);
        if (*row.spelled)
            REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI",
                                    setupIni(row.spelled, false, row.section != "inocount")));
    }
    REQUIRE(writeBinaryFile(kRoot + "\\Blotball\\VGOSETUP.EXE", "not a program\r\n"));
    const std::string roProgram = kRoot + "\\Warbands\\VGOSETUP.EXE";
    const std::string roIni = kRoot + "\\Spellgale\\VGOSETUP.INI";
    REQUIRE(SetFileAttributesA(roProgram.c_str(), FILE_ATTRIBUTE_READONLY));
    REQUIRE(SetFileAttributesA(roIni.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE mapped = CreateFileA((kRoot + "\\QuizHall\\VGOSETUP.INI").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    HANDLE mapping = CreateFileMappingA(mapped, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    REQUIRE(view);

    // The progress dialog's template, made but never run, takes the status texts.
    InitCommonControls();
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS),
                                     nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR {
                                         return 0;
                                     }, 0);
    REQUIRE(dialog);
    std::string updated, failed;
    for (const Row& row : rows) {
        CAPTURE(row.section);
        SetDlgItemTextA(dialog, IDC_STATUS, "(before)");
        size_t boxesBefore = boxes.size();
        updateGame(dialog, kServiceIni.c_str(), row.section.c_str());

        std::string status = "Updating: " + row.title, box;
        std::string place = kRoot + "\\" + row.dir + "\\VGOSETUP.";
        if (row.outcome == kUntouched || row.outcome == kSearching)
            status = row.outcome == kUntouched ? "(before)" : "Searching for game clients...";
        if (row.outcome == kWriteFails)
            status = "Error updating " + row.section + ", skipping...";
        if (row.outcome == kBadEntry)
            box = "There is an error in the \"" + row.section + "\" section of your VELKORGO.INI"
                  " file.\n You may need to download and install this game client again.";
        if (row.outcome == kNoSetupIni || row.outcome == kWriteFails || row.outcome == kNoProgram)
            box = "Could not find " + place + (row.outcome == kNoProgram ? "EXE" : "INI")
                  + ".\nYou may need to download and install this game client again.";
        (row.outcome == kStarted ? updated : failed) += row.title.empty() ? "" : row.title + "\n";
        CHECK(textOf(GetDlgItem(dialog, IDC_STATUS)) == status);
        CHECK(std::string(runState.updatedList) == updated);
        CHECK(std::string(runState.failedList) == failed);
        REQUIRE(boxes.size() == boxesBefore + !box.empty());
        if (!box.empty())
            CHECK((boxes.back() == "Update Velkor Games Error Message: " + box
                   && lastBoxOwner == dialog));
    }
    DestroyWindow(dialog);
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(mapped);

    for (const Row& row : rows) {
        CAPTURE(row.section);
        std::string dir = kRoot + "\\" + row.dir, program = dir + "\\VGOSETUP.EXE";
        bool started = row.outcome == kStarted, marked = row.outcome >= kNoProgram;
        if (program.find(' ') != std::string::npos)
            program = "\"" + program + "\"";  // the mended command line
        if (*row.dir)
            CHECK(startReport(dir, started ? 10000 : 0)
                  == (started ? program + " " + dir + "\\VGOSETUP.INI\nshow 0\n" : ""));
        if (*row.spelled)
            CHECK(readBinaryFile(dir + "\\VGOSETUP.INI")
                  == setupIni(row.spelled, marked, row.section != "inocount"));
    }
    CHECK(readBinaryFile(kRoot + "\\Missing\\VGOSETUP.INI") == "");  // nothing created
    CHECK(startReport(kRoot) == "");  // nothing started by the blank in "Velkor Games"
    CHECK_FALSE((GetFileAttributesA(roIni.c_str()) & FILE_ATTRIBUTE_READONLY));
    CHECK((GetFileAttributesA(roProgram.c_str()) & FILE_ATTRIBUTE_READONLY));
    CHECK(readBinaryFile(kServiceIni).find("<current>") == std::string::npos);
}

namespace {

// What the running progress dialog showed, as its texts were set: each
// followed by "|", and the bar's position and end at "Done...".
std::string percents, statuses;
int barAtDone, barEndAtDone;
HHOOK sendHook;

LRESULT CALLBACK watchTexts(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    HWND bar = GetDlgItem(GetParent(sent->hwnd), IDC_PROGRESS_BAR);
    int id = GetDlgCtrlID(sent->hwnd);
    if (sent->message == WM_SETTEXT && bar && (id == IDC_PERCENT || id == IDC_STATUS)) {
        std::string text = reinterpret_cast<const char*>(sent->lParam);
        (id == IDC_PERCENT ? percents : statuses) += text + "|";
        barAtDone = int(SendMessageA(bar, PBM_GETPOS, 0, 0));
        barEndAtDone = int(SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
    }
    return CallNextHookEx(sendHook, code, wParam, lParam);
}

INT_PTR runWatched()
{
    percents = statuses = "";
    sendHook = SetWindowsHookExA(WH_CALLWNDPROC, watchTexts, nullptr, GetCurrentThreadId());
    INT_PTR result = runUpdatePass(GetModuleHandleA(nullptr));
    UnhookWindowsHookEx(sendHook);
    return result;
}

}  // namespace

TEST_CASE("the progress dialog: 33 %, 66 %, 100 %, Done..., and no boxes without -d")
{
    Bed bed("[Velkor]|Version=3|[IWarBands]|EXECUTECount=1|[ibroken]|EXECUTECount=1");
    CHECK(runWatched() == 1);
    CHECK(percents == "  0 %|33 %|66 %|100 %|");
    CHECK(statuses == "Updating: Warbands II|Updating: ibroken|Done...|");  // Velkor: none
    CHECK((barAtDone == 3 && barEndAtDone == 3));
    CHECK(boxes.empty());
    CHECK(std::string(runState.failedList) == "Warbands II\nibroken\n");
}

TEST_CASE("more failed games than the list holds: it ends with ... and is never overrun")
{
    std::string lines = "[itunnelrun]|EXECUTECount=1";  // written again and again
    for (int i = 0; i < 200; ++i)  // 195 titles fill the list
        lines += i % 2 ? "|[itunnelrun]|EXECUTECount=1" : "|[ITunnelRun]|EXECUTECount=1";
    Bed bed(lines);
    runState.failedList[kListSize - 1] = '#';  // a sentinel the list must never reach

    CHECK(runWatched() == 1);
    std::string expected;
    for (size_t i = 0; i < (kListSize - 5) / 21; ++i)
        expected += "Tunnel Runner Online\n";
    CHECK(std::string(runState.failedList) == expected + "...\n");
    CHECK(runState.failedList[kListSize - 1] == '#');
    CHECK(percents.substr(percents.size() - 6) == "100 %|");
}

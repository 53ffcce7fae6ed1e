// The updater's rules and bounds on their own, then its pass on real files in
// the prefix, with a stand-in setup program that writes down how it was started.
#include <doctest/doctest.h>

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "command_line.h"
#include "pass_limits.h"
#include "resource.h"
#include "run_state.h"
#include "section_names.h"
#include "summary_decision.h"
#include "texts.h"
#include "update_game.h"
#include "update_pass.h"
#include "wine_files.h"

RunState runState;

namespace {

const std::string kRoot = "C:\\vkpass", kServiceIni = windowsDirectory() + "\\VELKORGO.INI";

// INI text from '|'-separated lines ended by CR LF, as the profile service
// writes them; '@' stands for "StartIn=" and a directory under kRoot.
std::string iniText(std::string lines)
{
    for (size_t at = 0; (at = lines.find_first_of("|@", at)) != std::string::npos;)
        lines.replace(at, 1, lines[at] == '|' ? "\r\n" : "StartIn=" + kRoot + "\\");
    return lines + "\r\n";
}

// A setup INI as a game's installer leaves it, or after the pass marked it.
std::string setupIni(const std::string& section, bool marked = false, bool count = true)
{
    return iniText("; Velkor setup|[Setup]|Version=7|[" + section + "]|"
                   + (count ? "EXECUTECount=2|" : "") + "Path=C:\\Games|"
                   + (marked ? "StartIn=<current>|" : "") + "[Zeta]|z=1");
}

// What the pass showed: its message boxes as "owner>caption: text", each
// closed with OK at once; the percent and status texts, each followed by "|".
std::string boxes, percents, statuses;

LRESULT CALLBACK catchBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    auto textOf = [](HWND w) { char t[999]; return std::string(t, GetWindowTextA(w, t, 999)); };
    HWND box = reinterpret_cast<HWND>(wParam), text = GetDlgItem(box, 0xFFFF);
    if (code == HCBT_ACTIVATE && text) {
        boxes += textOf(GetWindow(box, GW_OWNER)) + ">" + textOf(box) + ": " + textOf(text) + "\n";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK watchTexts(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    int id = GetDlgCtrlID(sent->hwnd);
    if (sent->message == WM_SETTEXT && (id == IDC_PERCENT || id == IDC_STATUS))
        (id == IDC_PERCENT ? percents : statuses) += std::string(LPCSTR(sent->lParam)) + "|";
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Runs the pass in its progress dialog, as the program does, on these service INI lines.
INT_PTR runPass(const std::string& serviceLines, int showErrors = 0)
{
    runState = RunState{GetModuleHandleA(nullptr), showErrors, 0, "", ""};
    runState.failedList[kListSize - 1] = '#';  // a sentinel the list must never reach
    boxes = percents = statuses = "";
    REQUIRE(writeBinaryFile(kServiceIni, iniText(serviceLines)));
    static const bool hooked = SetWindowsHookExA(WH_CBT, catchBoxes, nullptr, GetCurrentThreadId())
        && SetWindowsHookExA(WH_CALLWNDPROC, watchTexts, nullptr, GetCurrentThreadId());
    REQUIRE(hooked);  // for the rest of the program: only the pass makes windows
    INT_PTR result = runUpdatePass(GetModuleHandleA(nullptr));
    removeFile(kServiceIni);
    return result;
}

}  // namespace

TEST_CASE("the switch scanner, the summary rule, and the bounds of names, lists and texts")
{
    auto flags = [](const std::string& text) {  // as "<showErrors><silentOnSuccess>"
        runState.showErrors = runState.silentOnSuccess = 0;
        parseCommandLine(text.c_str());
        return std::to_string(runState.showErrors) + std::to_string(runState.silentOnSuccess);
    };
    // Only a space ends a token; bytes beyond ASCII are neither folded nor matched.
    const char* const cases[][2] = {
        {"", "00"}, {" \t\r\n ", "00"}, {"-D", "10"}, {"-S", "01"}, {"  -d   -s ", "11"},
        {"foo -d bar", "10"}, {"-ds", "00"}, {"-d-s", "00"}, {"/d", "00"}, {"-d\t-s", "00"},
        {"-s\r\n", "00"}, {"-d \t-s", "11"}, {"-\xc4 -s", "01"},
    };
    for (const auto& c : cases)
        CHECK_MESSAGE(flags(c[0]) == c[1], '"' << c[0] << '"');
    parseCommandLine(nullptr);
    // A token longer than its 79-character buffer is skipped whole, never cut in two.
    for (size_t length : {78u, 79u, 80u, 81u, 5000u}) {
        std::string x(length, 'x');
        CHECK(flags(x + " -s") + flags(x + "-d") + flags("-s" + x + " -d") == "010010");
    }

    CHECK_FALSE(summaryWanted(-1, RunState{}));  // no progress dialog: no "up to date"

    const char list[] = "IRampart\0\0Velkor-\xC4Z\0IIIIIIIIII\0";  // and the closing zero
    const struct { int n; size_t size; const char* name; } names[] = {  // 2: empty, ends none
        {-5, 64, "irampart"}, {2, 64, ""}, {3, 64, "velkor-\xC4z"}, {4, 5, "iiii"}, {5, 64, ""}};
    char out[72];
    for (const auto& c : names) {
        memset(out, '#', sizeof out);
        nthSectionName(list, int(sizeof list) - 1, c.n, out, c.size);
        CHECK(std::string(out) + std::string(out + c.size, 8) == c.name + std::string(8, '#'));
    }
    nthSectionName("ia\0ibcdef", 7, 2, out, sizeof out);  // cut off by the service, no zero
    CHECK(std::string(out) == "ibcd");

    char line[kCommandLineSize];
    std::string dir = "C:\\" + std::string(kValueSize - 1 - 5, 'd') + " x", ini = dir + "\\x";
    CHECK(setupCommandLine(dir.c_str(), ini.c_str(), line, sizeof line));
    CHECK(std::string(line) == "\"" + dir + "\\VGOSETUP.EXE\" " + ini);  // the longest fits
    CHECK((!setupCommandLine("C:\\Games\\Rampart", "C:\\x.ini", line, 20) && *line == '\0'));

    CHECK(executeCount("99999999999999999999") == 2147483647);  // n - 1 stays an int
    loadText(IDS_ALL_UP_TO_DATE, line, 8);
    CHECK(std::string(line) == "All ins");
}

TEST_CASE("every outcome of a game section, with message boxes under -d")
{
    const std::string longName = "i" + std::string(77, 'x');  // "1 " and it: 80, too long
    const std::string longerName = "i" + std::string(99, 'y');  // longer than a title
    const std::string longestName = "i" + std::string(127, 'z');  // cut to 127 when held
    enum Outcome { kUntouched, kSearching, kBadEntry, kNoIni, kWriteFails, kNoExe, kStarted };
    const struct Row {
        std::string section;  // as the pass hands it over: lower-cased
        const char* dir;      // the game's directory under kRoot, or ""
        const char* spelled;  // the section as its setup INI spells it; "" for no setup INI
        std::string title;    // shown, and listed unless searching
        Outcome outcome;
    } rows[] = {  // in the order of the service INI file below
        {"velkor", "", "", "", kUntouched},
        {"inoexec", "", "", "", kSearching},
        {"iduskfall", "Duskfall", "iduskfall", "Duskfall", kSearching},  // its own StartIn
        {"ibroken", "Broken", "ibroken", "ibroken", kBadEntry},  // "2 ibroken" is missing
        {longerName, "", "", longerName.substr(0, kTitleSize - 1), kBadEntry},
        {longName, "Long", longName.c_str(), longName, kBadEntry},
        {longestName.substr(0, 127), "", "", longestName.substr(0, kTitleSize - 1), kBadEntry},
        {"imissing", "Missing", "", "imissing", kNoIni},
        {"inocount", "NoCount", "inocount", "inocount", kNoIni},  // no EXECUTECount
        {"iquizhall", "QuizHall", "IQuizHall", "Quiz Hall Live", kWriteFails},  // mapped
        {"iwarbands", "Warbands", "iwarbands", "Warbands II", kNoExe},  // read-only
        {"iblotball", "Blotball", "iblotball", "Blotball", kNoExe},  // will not start
        {"irampart", "Rampart", "IRAMPART", "Rampart Realms", kStarted},
        {"itunnelrun", "Velkor Games", "itunnelrun", "Tunnel Runner Online", kStarted},
        {"ispellgale", "Spellgale", "ispellgale", "Spellgale", kStarted},  // read-only INI
        // EXECUTECount 0, empty, without digits: the entry section is "-1 name".
        {"izero", "Zero", "izero", "izero", kStarted},
        {"iempty", "Empty", "iempty", "iempty", kStarted},
        {"iletters", "Letters", "iletters", "iletters", kStarted},
    };
    removeTree(kRoot);  // what an earlier run left, read-only files included
    for (const Row& row : rows) {
        std::string dir = kRoot + "\\" + row.dir;
        CreateDirectoryA(dir.c_str(), nullptr);  // kRoot itself for the first
        if (*row.dir)  // the stand-in is built beside this test, where it runs
            REQUIRE(CopyFileA("setup_recorder.exe", (dir + "\\VGOSETUP.EXE").c_str(), FALSE));
        if (*row.spelled)
            REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI",
                                    setupIni(row.spelled, false, row.section != "inocount")));
    }
    REQUIRE(writeBinaryFile(kRoot + "\\Blotball\\VGOSETUP.EXE", "not a program\r\n"));
    const std::string roProgram = kRoot + "\\Warbands\\VGOSETUP.EXE",
                      roIni = kRoot + "\\Spellgale\\VGOSETUP.INI";
    REQUIRE(SetFileAttributesA(roProgram.c_str(), FILE_ATTRIBUTE_READONLY));
    REQUIRE(SetFileAttributesA(roIni.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE mapped = CreateFileA((kRoot + "\\QuizHall\\VGOSETUP.INI").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, 0);
    HANDLE mapping = CreateFileMappingA(mapped, nullptr, PAGE_READONLY, 0, 0, nullptr);
    REQUIRE(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));  // mapped till the program ends

    const std::string service = "[Velkor]|Version=3|[iNoExec]|Path=C:\\vkpass\\NoExec"
        "|[iduskfall]|EXECUTECount=1|@Duskfall|[0 iduskfall]|@Duskfall"
        "|[ibroken]|EXECUTECount=3|[0 ibroken]|@Broken|[" + longerName + "]|EXECUTECount=1"
        "|[" + longName + "]|EXECUTECount=2|[1 " + longName.substr(0, 77) + "]|@Long"
        "|[I" + std::string(127, 'Z') + "]|EXECUTECount=1|[0 " + longestName + "]|@Longest"
        "|[imissing]|EXECUTECount=1|[0 imissing]|@Missing"
        "|[inocount]|EXECUTECount=1|[0 inocount]|@NoCount"
        "|[iquizhall]|EXECUTECount=1|[0 iquizhall]|@QuizHall"
        "|[IWarBands]|EXECUTECount=1|[0 iwarbands]|@Warbands"
        "|[iblotball]|EXECUTECount=1|[0 iblotball]|@Blotball"
        "|[IRampart]|EXECUTECount=2|[1 IRampart]|@Rampart"
        "|[itunnelrun]|EXECUTECount=1|[0 itunnelrun]|@Velkor Games"
        "|[ispellgale]|EXECUTECount=1|[0 ispellgale]|@Spellgale"
        "|[izero]|EXECUTECount=0|[-1 izero]|@Zero|[iempty]|EXECUTECount=|[-1 iempty]|@Empty"
        "|[iletters]|EXECUTECount=abc|[-1 iletters]|@Letters";
    CHECK(runPass(service, 1) == 1);

    std::string shown, told, updated, failed;
    for (const Row& row : rows) {
        std::string dir = kRoot + "\\" + row.dir, program = dir + "\\VGOSETUP.EXE", box;
        shown += row.title.empty() ? "" : "Updating: " + row.title + "|";
        if (row.outcome == kSearching)
            shown += "Searching for game clients...|";
        if (row.outcome == kWriteFails)
            shown += "Error updating " + row.section + ", skipping...|";
        if (row.outcome == kBadEntry)
            box = "There is an error in the \"" + row.section + "\" section of your VELKORGO.INI"
                  " file.\n You may need to download and install this game client again.";
        if (row.outcome == kNoIni || row.outcome == kWriteFails || row.outcome == kNoExe)
            box = "Could not find " + (row.outcome == kNoExe ? program : dir + "\\VGOSETUP.INI")
                  + ".\nYou may need to download and install this game client again.";
        if (!box.empty())
            told += "Updating Velkor Games>Update Velkor Games Error Message: " + box + "\n";
        if (row.outcome >= kBadEntry)
            (row.outcome == kStarted ? updated : failed) += row.title + "\n";

        if (!*row.dir)
            continue;
        bool started = row.outcome == kStarted, marked = row.outcome >= kNoExe;
        if (program.find(' ') != std::string::npos)
            program = "\"" + program + "\"";  // the mended command line
        std::string report;  // the stand-in's: "command line\nshow N\n"
        for (int ms = started ? 10000 : 0; (report = readBinaryFile(dir + "\\STARTED.TXT")) == ""
             && ms > 0; ms -= 50)
            Sleep(50);
        CHECK(report == (started ? program + " " + dir + "\\VGOSETUP.INI\nshow 0\n" : ""));
        CHECK(readBinaryFile(dir + "\\VGOSETUP.INI")  // nothing created where there was none
              == (*row.spelled ? setupIni(row.spelled, marked, row.section != "inocount") : ""));
    }
    CHECK(statuses == shown + "Done...|");
    CHECK(boxes == told);
    CHECK(runState.updatedList + std::string("/") + runState.failedList == updated + "/" + failed);
    CHECK_FALSE((GetFileAttributesA(roIni.c_str()) & FILE_ATTRIBUTE_READONLY));
    CHECK((GetFileAttributesA(roProgram.c_str()) & FILE_ATTRIBUTE_READONLY));
}

TEST_CASE("the progress dialog: 33 %, 66 %, 100 %, Done..., and no boxes without -d")
{
    CHECK(runPass("[Velkor]|Version=3|[IWarBands]|EXECUTECount=1|[ibroken]|EXECUTECount=1") == 1);
    CHECK(percents == "  0 %|33 %|66 %|100 %|");
    CHECK(boxes == "");

    // More failed games than the list holds: it ends with "...", never overrun.
    std::string lines = "[itunnelrun]|EXECUTECount=1";  // written again and again
    for (int i = 0; i < 200; ++i)  // 195 titles fill the list
        lines += i % 2 ? "|[itunnelrun]|EXECUTECount=1" : "|[ITunnelRun]|EXECUTECount=1";
    CHECK(runPass(lines) == 1);
    std::string expected;
    for (size_t i = 0; i < (kListSize - 5) / 21; ++i)
        expected += "Tunnel Runner Online\n";
    CHECK(std::string(runState.failedList) == expected + "...\n");
    CHECK(runState.failedList[kListSize - 1] == '#');

    // 500 sections before a game: the section list is read whole, far past 4096 characters.
    lines = "";
    for (int i = 0; i < 500; ++i)
        lines += "[Velkor news " + std::to_string(i) + "]|Seen=1|";
    CHECK(runPass(lines + "[itunnelrun]|EXECUTECount=1") == 1);
    CHECK(std::string(runState.failedList) == "Tunnel Runner Online\n");
    CHECK(percents.substr(percents.size() - 12) == "|99 %|100 %|");
    CHECK(std::count(percents.begin(), percents.end(), '|') == 502);
}

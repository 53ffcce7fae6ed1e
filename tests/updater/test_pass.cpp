// The updater's switches and summary rule on their own, then its pass on real
// files in the prefix, with the stand-in as each game's setup program.
#include <doctest/doctest.h>

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "resource.h"
#include "vkupdate.h"
#include "wine_files.h"

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
std::string setupIni(const std::string& section, bool marked, bool count = true)
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
    runState = RunState{GetModuleHandleA(nullptr), showErrors, 0, "", "", 0, 0};
    runState.failedList[kListSize - 1] = '#';  // a sentinel the list must never reach
    boxes = percents = statuses = "";
    REQUIRE(writeBinaryFile(kServiceIni, iniText(serviceLines)));
    static const bool hooked = SetWindowsHookExA(WH_CBT, catchBoxes, nullptr, GetCurrentThreadId())
        && SetWindowsHookExA(WH_CALLWNDPROC, watchTexts, nullptr, GetCurrentThreadId());
    REQUIRE(hooked);  // for the rest of the program: only the pass makes windows
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS),
                                     nullptr, progressDialogProc, 0);
    removeFile(kServiceIni);
    return result;
}

}  // namespace

TEST_CASE("the switches: only a space ends a token, which is folded and compared whole")
{
    const std::string x79(79, 'x');
    const std::string cases[][2] = {  // the command line, then "<showErrors><silentOnSuccess>"
        {"", "00"}, {" \t\r\n ", "00"}, {"-D", "10"}, {"-S", "01"}, {"  -d   -s ", "11"},
        {"foo -d bar", "10"}, {"-ds", "00"}, {"-d-s", "00"}, {"/d", "00"}, {"-d\t-s", "00"},
        {"-s\r\n", "00"}, {"-d \t-s", "11"}, {"-\xc4 -s", "01"},
        // A token longer than its buffer is skipped whole, never cut in two.
        {x79 + "-d", "00"}, {"-s" + x79 + x79 + " -d", "10"},
    };
    for (const auto& c : cases) {
        RunState state{};
        parseCommandLine(c[0].c_str(), state);
        CHECK_MESSAGE(std::to_string(state.showErrors) + std::to_string(state.silentOnSuccess)
                      == c[1], '"' << c[0] << '"');
    }
}

TEST_CASE("the summary follows a pass that ran, unless -s was given and nothing failed")
{
    const struct { INT_PTR result; const char* failed; int silent; bool wanted; } rows[] = {
        {0, "", 0, false}, {0, "", 1, false},
        {-1, "", 0, false},  // no progress dialog: no "up to date"
        {1, "Blotball\n", 0, true}, {1, "Blotball\n", 1, true}, {1, "", 0, true}, {1, "", 1, false},
    };
    for (const auto& row : rows) {
        RunState state{nullptr, 0, row.silent, "", "", 0, 0};
        strcpy(state.failedList, row.failed);
        CHECK(summaryWanted(row.result, state) == row.wanted);
    }
}

TEST_CASE("every outcome of a game section, with message boxes under -d")
{
    const std::string again = "\nYou may need to download and install this game client again.",
                      entry = "\" section of your VELKORGO.INI file.\n You may need to download"
                              " and install this game client again.";
    const std::string y99(99, 'y'), y78(78, 'y'), x77(77, 'x'), z126(126, 'z'), z78(78, 'z');
    const struct Row {
        std::string ini;      // its lines in the service INI file
        const char* dir;      // its directory under kRoot, with the stand-in as VGOSETUP.EXE
        std::string spelled;  // its section in that directory's VGOSETUP.INI; "" for none
        std::string status;   // the status texts it shows, each followed by "|"
        std::string box;      // its message box
        std::string updated, failed;  // what it adds to each list
        std::string started;  // the setup program's command line; "" when not started
        bool marked;          // its setup INI gets "StartIn=<current>"
    } rows[] = {
        {"[Velkor]|Version=3", "", "", "", "", "", "", "", false},
        {"[iNoExec]|Path=C:\\vkpass\\NoExec", "", "", "Searching for game clients...|", "", "", "",
         "", false},
        {"[iduskfall]|EXECUTECount=1|@Duskfall|[0 iduskfall]|@Duskfall", "Duskfall", "iduskfall",
         "Updating: Duskfall|Searching for game clients...|", "", "", "", "", false},
        {"[ibroken]|EXECUTECount=3|[0 ibroken]|@Broken", "Broken", "ibroken", "Updating: ibroken|",
         "There is an error in the \"ibroken" + entry, "", "ibroken\n", "", false},
        // A title that ends as a full list does ("...") closes neither list.
        {"[ia...]|EXECUTECount=1", "", "", "Updating: ia...|", "There is an error in the \"ia..."
         + entry, "", "ia...\n", "", false},
        {"[ib...]|EXECUTECount=1|[0 ib...]|@Dots", "Dots", "ib...", "Updating: ib...|", "",
         "ib...\n", "", "C:\\vkpass\\Dots\\VGOSETUP.EXE C:\\vkpass\\Dots\\VGOSETUP.INI", true},
        // Names too long for their buffers: the title is cut, the entry section and a
        // name held cut name nothing.
        {"[i" + y99 + "]|EXECUTECount=1", "", "", "Updating: i" + y78 + "|",
         "There is an error in the \"i" + y99 + entry, "", "i" + y78 + "\n", "", false},
        {"[i" + x77 + "]|EXECUTECount=2|[1 i" + x77.substr(1) + "]|@Long", "Long", "i" + x77,
         "Updating: i" + x77 + "|", "There is an error in the \"i" + x77 + entry, "",
         "i" + x77 + "\n", "", false},
        {"[I" + std::string(127, 'Z') + "]|EXECUTECount=1|[0 i" + z126 + "z]|@Longest", "", "",
         "Updating: i" + z78 + "|", "There is an error in the \"i" + z126 + entry, "",
         "i" + z78 + "\n", "", false},
        {"[imissing]|EXECUTECount=1|[0 imissing]|@Missing", "Missing", "", "Updating: imissing|",
         "Could not find C:\\vkpass\\Missing\\VGOSETUP.INI." + again, "", "imissing\n", "", false},
        {"[inocount]|EXECUTECount=1|[0 inocount]|@NoCount", "NoCount", "inocount",  // none in it
         "Updating: inocount|", "Could not find C:\\vkpass\\NoCount\\VGOSETUP.INI." + again, "",
         "inocount\n", "", false},
        {"[iquizhall]|EXECUTECount=1|[0 iquizhall]|@QuizHall", "QuizHall", "IQuizHall",  // mapped
         "Updating: Quiz Hall Live|Error updating iquizhall, skipping...|",
         "Could not find C:\\vkpass\\QuizHall\\VGOSETUP.INI." + again, "", "Quiz Hall Live\n", "",
         false},
        {"[IWarBands]|EXECUTECount=1|[0 iwarbands]|@Warbands", "Warbands", "iwarbands",
         "Updating: Warbands II|", "Could not find C:\\vkpass\\Warbands\\VGOSETUP.EXE." + again,
         "", "Warbands II\n", "", true},  // the program is read-only
        {"[iblotball]|EXECUTECount=1|[0 iblotball]|@Blotball", "Blotball", "iblotball",
         "Updating: Blotball|", "Could not find C:\\vkpass\\Blotball\\VGOSETUP.EXE." + again, "",
         "Blotball\n", "", true},  // the program will not start
        {"[IRampart]|EXECUTECount=2|[1 IRampart]|@Rampart", "Rampart", "IRAMPART",
         "Updating: Rampart Realms|", "", "Rampart Realms\n", "",
         "C:\\vkpass\\Rampart\\VGOSETUP.EXE C:\\vkpass\\Rampart\\VGOSETUP.INI", true},
        {"[itunnelrun]|EXECUTECount=1|[0 itunnelrun]|@Velkor Games", "Velkor Games", "itunnelrun",
         "Updating: Tunnel Runner Online|", "", "Tunnel Runner Online\n", "",
         "\"C:\\vkpass\\Velkor Games\\VGOSETUP.EXE\" C:\\vkpass\\Velkor Games\\VGOSETUP.INI", true},
        {"[ispellgale]|EXECUTECount=1|[0 ispellgale]|@Spellgale", "Spellgale", "ispellgale",
         "Updating: Spellgale|", "", "Spellgale\n", "",  // its setup INI is read-only
         "C:\\vkpass\\Spellgale\\VGOSETUP.EXE C:\\vkpass\\Spellgale\\VGOSETUP.INI", true},
        // EXECUTECount 0, empty (no digits), beyond the int range.
        {"[izero]|EXECUTECount=0|[-1 izero]|@Zero", "Zero", "izero", "Updating: izero|", "",
         "izero\n", "", "C:\\vkpass\\Zero\\VGOSETUP.EXE C:\\vkpass\\Zero\\VGOSETUP.INI", true},
        {"[iempty]|EXECUTECount=|[-1 iempty]|@Empty", "Empty", "iempty", "Updating: iempty|", "",
         "iempty\n", "", "C:\\vkpass\\Empty\\VGOSETUP.EXE C:\\vkpass\\Empty\\VGOSETUP.INI", true},
        {"[ibig]|EXECUTECount=99999999999999999999|[2147483646 ibig]|@Big", "Big", "ibig",
         "Updating: ibig|", "", "ibig\n", "",
         "C:\\vkpass\\Big\\VGOSETUP.EXE C:\\vkpass\\Big\\VGOSETUP.INI", true},
    };
    removeTree(kRoot);  // what an earlier run left, read-only files included
    CreateDirectoryA(kRoot.c_str(), nullptr);
    std::string service, shown, told, updated, failed;
    for (const Row& row : rows) {
        std::string dir = kRoot + "\\" + row.dir;
        if (*row.dir) {
            CreateDirectoryA(dir.c_str(), nullptr);
            REQUIRE(CopyFileA("vkstandin.exe", (dir + "\\VGOSETUP.EXE").c_str(), FALSE));
        }
        if (!row.spelled.empty())
            REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI",
                                    setupIni(row.spelled, false, row.dir != std::string("NoCount"))));
        service += row.ini + "|";
        shown += row.status;
        told += row.box.empty() ? "" : "Updating Velkor Games>Update Velkor Games Error Message: "
                                           + row.box + "\n";
        updated += row.updated;
        failed += row.failed;
    }
    REQUIRE(writeBinaryFile(kRoot + "\\Blotball\\VGOSETUP.EXE", "not a program\r\n"));
    // What "C:\vkpass\Velkor Games\VGOSETUP.EXE" would start unquoted.
    REQUIRE(CopyFileA("vkstandin.exe", (kRoot + "\\Velkor.exe").c_str(), FALSE));
    const std::string roProgram = kRoot + "\\Warbands\\VGOSETUP.EXE",
                      roIni = kRoot + "\\Spellgale\\VGOSETUP.INI";
    REQUIRE(SetFileAttributesA(roProgram.c_str(), FILE_ATTRIBUTE_READONLY));
    REQUIRE(SetFileAttributesA(roIni.c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE mapped = CreateFileA((kRoot + "\\QuizHall\\VGOSETUP.INI").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, 0);
    HANDLE mapping = CreateFileMappingA(mapped, nullptr, PAGE_READONLY, 0, 0, nullptr);
    REQUIRE(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));  // mapped till the program ends

    CHECK(runPass(service, 1) == 1);
    CHECK(statuses == shown + "Done...|");
    CHECK(boxes == told);
    CHECK(runState.updatedList + std::string("/") + runState.failedList == updated + "/" + failed);

    char here[MAX_PATH];  // the setup programs start where the pass runs
    std::string cwd(here, GetCurrentDirectoryA(sizeof here, here));
    for (const Row& row : rows) {
        std::string dir = kRoot + "\\" + row.dir, record;
        for (int ms = row.started.empty() ? 0 : 10000;
             (record = readBinaryFile(dir + "\\started.txt")) == "" && ms > 0; ms -= 50)
            Sleep(50);
        CHECK(record == (row.started.empty() ? "" : "VGOSETUP.EXE started in " + cwd
                         + ", shown 0, with command line: " + row.started + "\r\n"));
        CHECK(readBinaryFile(dir + "\\VGOSETUP.INI")  // nothing created where there was none
              == (row.spelled.empty() ? "" : setupIni(row.spelled, row.marked,
                                                      row.dir != std::string("NoCount"))));
    }
    CHECK(readBinaryFile(kRoot + "\\started.txt") == "");
    CHECK_FALSE((GetFileAttributesA(roIni.c_str()) & FILE_ATTRIBUTE_READONLY));
    CHECK((GetFileAttributesA(roProgram.c_str()) & FILE_ATTRIBUTE_READONLY));
}

TEST_CASE("the progress dialog: 33 %, 66 %, 100 %, Done..., and no boxes without -d")
{
    CHECK(runPass("[Velkor]|Version=3|[IWarBands]|EXECUTECount=1|[ibroken]|EXECUTECount=1") == 1);
    CHECK(percents == "  0 %|33 %|66 %|100 %|");
    CHECK(boxes == "");

    // More failed games than the list holds: 194 titles, then "...", never overrun.
    std::string lines = "[itunnelrun]|EXECUTECount=1";  // written again and again
    for (int i = 0; i < 200; ++i)
        lines += i % 2 ? "|[itunnelrun]|EXECUTECount=1" : "|[ITunnelRun]|EXECUTECount=1";
    CHECK(runPass(lines) == 1);
    std::string expected;
    for (int i = 0; i < 194; ++i)
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

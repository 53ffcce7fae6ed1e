// The decision list against real files: every outcome of one game section,
// what it leaves in the setup INI, whether the setup program started and
// with what, which list the title joins and which message box is shown.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "pass_bed.h"
#include "resource.h"
#include "run_state.h"
#include "update_game.h"
#include "wine_files.h"

namespace {

const char kCaption[] = "Update Velkor Games Error Message";
const char kBefore[] = "(status before)";

std::string couldNotFind(const std::string& path)
{
    return "Could not find " + path + ".\nYou may need to download and install this game client again.";
}

std::string sectionError(const std::string& name)
{
    return "There is an error in the \"" + name
           + "\" section of your VELKORGO.INI file.\n You may need to download and install this game client again.";
}

// A setup INI as a game's installer leaves it; `section` spelled as the
// installer spelled it.
std::vector<std::string> setupLines(const std::string& section, bool withCount = true)
{
    std::vector<std::string> lines = {"; Velkor setup", "[Setup]", "Version=7", "[" + section + "]"};
    if (withCount)
        lines.push_back("EXECUTECount=2");
    lines.push_back("Path=C:\\Games");
    lines.push_back("[Zeta]");
    lines.push_back("z=1");
    return lines;
}

// The same file after the pass marked it: the rest exactly as it was.
std::vector<std::string> markedLines(const std::string& section)
{
    std::vector<std::string> lines = setupLines(section);
    lines.insert(lines.begin() + 6, "StartIn=<current>");
    return lines;
}

// The progress dialog's template, made but never shown, to receive the
// status texts.
struct StatusDialog {
    HWND window;
    StatusDialog()
    {
        InitCommonControls();
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                                    [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
                                        return message == WM_INITDIALOG;
                                    },
                                    0);
        REQUIRE(window);
        ShowWindow(window, SW_SHOW);
    }
    ~StatusDialog() { DestroyWindow(window); }
    std::string status() const
    {
        char text[kStatusText];
        GetDlgItemTextA(window, IDC_STATUS, text, sizeof text);
        return text;
    }
    enum { kStatusText = 512 };
};

enum class List { None, Updated, Failed };
enum class Setup { Untouched, Marked, None };

struct Row {
    const char* section;    // as the pass hands it over: lower-cased
    const char* dir;        // the game's directory under kGamesRoot, or ""
    const char* status;     // afterwards; kBefore when untouched
    List list;
    const char* title;
    std::string box;        // the message box's text under "-d", or ""
    Setup setup;
    bool started;
};

std::string gamePath(const char* dir)
{
    return std::string(kGamesRoot) + "\\" + dir;
}

}  // namespace

TEST_CASE("every outcome of one game section, with message boxes")
{
    PassBed bed;
    StatusDialog dialog;
    runState.showErrors = 1;

    bed.writeServiceIni(iniText({
        "[Velkor]", "Version=3",
        "[IRampart]", "EXECUTECount=2", "[1 IRampart]", "StartIn=C:\\vkpass\\Rampart",
        "[iNoExec]", "Path=C:\\vkpass\\NoExec",
        "[inokey]", "EXECUTECount=NOKEY", "[-1 inokey]", "StartIn=C:\\vkpass\\NoKey",
        "[iduskfall]", "EXECUTECount=1", "StartIn=C:\\vkpass\\Duskfall", "[0 iduskfall]", "StartIn=C:\\vkpass\\Duskfall",
        "[ibroken]", "EXECUTECount=3", "[0 ibroken]", "StartIn=C:\\vkpass\\Broken",
        "[ibadentry]", "EXECUTECount=1", "[0 ibadentry]", "Path=C:\\vkpass\\BadEntry",
        "[imissing]", "EXECUTECount=1", "[0 imissing]", "StartIn=C:\\vkpass\\Missing",
        "[ilocked]", "EXECUTECount=1", "[0 ilocked]", "StartIn=C:\\vkpass\\Locked",
        "[inocount]", "EXECUTECount=1", "[0 inocount]", "StartIn=C:\\vkpass\\NoCount",
        "[iquizhall]", "EXECUTECount=1", "[0 iquizhall]", "StartIn=C:\\vkpass\\QuizHall",
        "[IWarBands]", "EXECUTECount=1", "[0 iwarbands]", "StartIn=C:\\vkpass\\Warbands",
        "[icueshot]", "EXECUTECount=1", "[0 icueshot]", "StartIn=C:\\vkpass\\CueShot",
        "[iblotball]", "EXECUTECount=1", "[0 iblotball]", "StartIn=C:\\vkpass\\Blotball",
        "[itunnelrun]", "EXECUTECount=1", "[0 itunnelrun]", "StartIn=C:\\vkpass\\Velkor Games\\Tunnel Run",
        "[ispellgale]", "EXECUTECount=1", "[0 ispellgale]", "StartIn=C:\\vkpass\\Spellgale",
        "[izero]", "EXECUTECount=0", "[-1 izero]", "StartIn=C:\\vkpass\\Zero",
        "[iempty]", "EXECUTECount=", "[-1 iempty]", "StartIn=C:\\vkpass\\Empty",
        "[iletters]", "EXECUTECount=abc", "[-1 iletters]", "StartIn=C:\\vkpass\\Letters",
    }));

    // Every game directory gets a setup INI and the stand-in, unless its row
    // is about them missing.
    const char* const withSetup[] = {"Rampart", "NoKey", "Duskfall", "Broken", "BadEntry", "Locked", "QuizHall",
                                     "Warbands", "CueShot", "Blotball", "Velkor Games\\Tunnel Run", "Spellgale",
                                     "Zero", "Empty", "Letters"};
    const char* const sectionOf[] = {"IRAMPART", "inokey", "iduskfall", "ibroken", "ibadentry", "ilocked",
                                     "IQuizHall", "iwarbands", "icueshot", "iblotball", "itunnelrun",
                                     "ispellgale", "izero", "iempty", "iletters"};
    for (size_t i = 0; i < sizeof withSetup / sizeof withSetup[0]; ++i) {
        std::string dir = bed.gameDir(withSetup[i]);
        REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI", iniText(setupLines(sectionOf[i]))));
        if (std::string(withSetup[i]) != "CueShot" && std::string(withSetup[i]) != "Blotball")
            bed.installStandIn(dir);
    }
    bed.gameDir("Missing");
    bed.installStandIn(gamePath("Missing"));
    std::string noCount = bed.gameDir("NoCount");
    REQUIRE(writeBinaryFile(noCount + "\\VGOSETUP.INI", iniText(setupLines("inocount", false))));
    bed.installStandIn(noCount);
    // Not a program at all, though it opens for update.
    REQUIRE(writeBinaryFile(gamePath("Blotball") + "\\VGOSETUP.EXE", "not a program\r\n"));
    setReadOnly(gamePath("Warbands") + "\\VGOSETUP.EXE");
    setReadOnly(gamePath("Spellgale") + "\\VGOSETUP.INI");
    // An unquoted command line would start this one first.
    bed.installStandIn(kGamesRoot);
    REQUIRE(MoveFileA((std::string(kGamesRoot) + "\\VGOSETUP.EXE").c_str(),
                      (std::string(kGamesRoot) + "\\Velkor.exe").c_str()));

    // Another program holds this setup INI open, sharing nothing.
    // Files held by other programs during the pass, let go of at its end.
    struct Held {
        HANDLE locked, mappedFile, mapping;
        void* view;
        void release()
        {
            if (view)
                UnmapViewOfFile(view);
            for (HANDLE h : {mapping, mappedFile, locked})
                if (h && h != INVALID_HANDLE_VALUE)
                    CloseHandle(h);
            *this = {};
        }
        ~Held() { release(); }
    } held = {};
    HANDLE& locked = held.locked;
    HANDLE& mappedFile = held.mappedFile;
    HANDLE& mapping = held.mapping;
    void*& view = held.view;
    locked = CreateFileA((gamePath("Locked") + "\\VGOSETUP.INI").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    REQUIRE(locked != INVALID_HANDLE_VALUE);
    // And another has this one mapped: it opens and reads, but cannot be
    // rewritten.
    mappedFile = CreateFileA((gamePath("QuizHall") + "\\VGOSETUP.INI").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    0, nullptr);
    REQUIRE(mappedFile != INVALID_HANDLE_VALUE);
    mapping = CreateFileMappingA(mappedFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    REQUIRE(mapping);
    view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    REQUIRE(view);

    const std::string searching = "Searching for game clients...";
    const Row rows[] = {
        /* 0 not a game section */
        {"velkor", "", kBefore, List::None, "", "", Setup::None, false},
        /* 1 an execute entry section is not one either */
        {"1 irampart", "", kBefore, List::None, "", "", Setup::None, false},
        /* 2 no EXECUTECount */
        {"inoexec", "", searching.c_str(), List::None, "", "", Setup::None, false},
        /* 3 EXECUTECount reading NOKEY counts as none */
        {"inokey", "NoKey", searching.c_str(), List::None, "", "", Setup::Untouched, false},
        /* 4 already has its StartIn */
        {"iduskfall", "Duskfall", searching.c_str(), List::None, "", "", Setup::Untouched, false},
        /* 5 execute entry section missing (EXECUTECount 3 names "2 ibroken") */
        {"ibroken", "Broken", "Updating: ibroken", List::Failed, "ibroken", sectionError("ibroken"),
         Setup::Untouched, false},
        /* 6 execute entry section without StartIn */
        {"ibadentry", "BadEntry", "Updating: ibadentry", List::Failed, "ibadentry", sectionError("ibadentry"),
         Setup::Untouched, false},
        /* 7 no setup INI */
        {"imissing", "Missing", "Updating: imissing", List::Failed, "imissing",
         couldNotFind("C:\\vkpass\\Missing\\VGOSETUP.INI"), Setup::None, false},
        /* 8 setup INI locked by another program */
        {"ilocked", "Locked", "Updating: ilocked", List::Failed, "ilocked",
         couldNotFind("C:\\vkpass\\Locked\\VGOSETUP.INI"), Setup::Untouched, false},
        /* 9 setup INI without EXECUTECount for the game */
        {"inocount", "NoCount", "Updating: inocount", List::Failed, "inocount",
         couldNotFind("C:\\vkpass\\NoCount\\VGOSETUP.INI"), Setup::Untouched, false},
        /* 10 the mark cannot be written */
        {"iquizhall", "QuizHall", "Error updating iquizhall, skipping...", List::Failed, "Quiz Hall Live",
         couldNotFind("C:\\vkpass\\QuizHall\\VGOSETUP.INI"), Setup::Untouched, false},
        /* 11 read-only setup program: marked, not started */
        {"iwarbands", "Warbands", "Updating: Warbands II", List::Failed, "Warbands II",
         couldNotFind("C:\\vkpass\\Warbands\\VGOSETUP.EXE"), Setup::Marked, false},
        /* 12 no setup program */
        {"icueshot", "CueShot", "Updating: Cue Shot", List::Failed, "Cue Shot",
         couldNotFind("C:\\vkpass\\CueShot\\VGOSETUP.EXE"), Setup::Marked, false},
        /* 13 a setup program that does not start is a failure too */
        {"iblotball", "Blotball", "Updating: Blotball", List::Failed, "Blotball",
         couldNotFind("C:\\vkpass\\Blotball\\VGOSETUP.EXE"), Setup::Marked, false},
        /* 14 started; the INI spells the sections in capitals */
        {"irampart", "Rampart", "Updating: Rampart Realms", List::Updated, "Rampart Realms", "", Setup::Marked,
         true},
        /* 15 started from a directory with blanks */
        {"itunnelrun", "Velkor Games\\Tunnel Run", "Updating: Tunnel Runner Online", List::Updated,
         "Tunnel Runner Online", "", Setup::Marked, true},
        /* 16 a read-only setup INI is made writable and marked */
        {"ispellgale", "Spellgale", "Updating: Spellgale", List::Updated, "Spellgale", "", Setup::Marked, true},
        /* 17-19 EXECUTECount 0, empty, without digits: entry section "-1 name" */
        {"izero", "Zero", "Updating: izero", List::Updated, "izero", "", Setup::Marked, true},
        {"iempty", "Empty", "Updating: iempty", List::Updated, "iempty", "", Setup::Marked, true},
        {"iletters", "Letters", "Updating: iletters", List::Updated, "iletters", "", Setup::Marked, true},
    };

    std::string updated, failed;
    MessageBoxCatcher catcher;
    for (const Row& row : rows) {
        CAPTURE(std::string(row.section));
        SetDlgItemTextA(dialog.window, IDC_STATUS, kBefore);
        size_t boxesBefore = catcher.boxes.size();
        updateGame(dialog.window, bed.serviceIni.c_str(), row.section);

        CHECK(dialog.status() == std::string(row.status));
        if (row.list == List::Updated)
            updated += std::string(row.title) + "\n";
        if (row.list == List::Failed)
            failed += std::string(row.title) + "\n";
        CHECK(std::string(runState.updatedList) == updated);
        CHECK(std::string(runState.failedList) == failed);
        if (row.box.empty()) {
            CHECK(catcher.boxes.size() == boxesBefore);
        } else {
            REQUIRE(catcher.boxes.size() == boxesBefore + 1);
            CHECK(catcher.boxes.back().text == row.box);
            CHECK(catcher.boxes.back().caption == kCaption);
            CHECK(catcher.boxes.back().owner == dialog.window);
        }
    }
    held.release();

    for (const Row& row : rows) {
        if (!*row.dir)
            continue;
        CAPTURE(std::string(row.section));
        std::string dir = gamePath(row.dir);
        StartReport report = row.started ? waitForStart(dir) : startReport(dir);
        CHECK(report.started == row.started);
        if (row.started) {
            std::string program = dir + "\\VGOSETUP.EXE";
            if (program.find(' ') != std::string::npos)
                program = "\"" + program + "\"";
            CHECK(report.commandLine == program + " " + dir + "\\VGOSETUP.INI");
            CHECK(report.show == SW_HIDE);
        }
        std::string setupIni = dir + "\\VGOSETUP.INI";
        std::string spelled = row.section == std::string("irampart") ? "IRAMPART"
                              : row.section == std::string("iquizhall") ? "IQuizHall"
                                                                         : row.section;
        if (row.setup == Setup::None)
            CHECK_FALSE(fileExists(setupIni));
        if (row.setup == Setup::Untouched)
            CHECK(readBinaryFile(setupIni) == iniText(setupLines(spelled, row.section != std::string("inocount"))));
        if (row.setup == Setup::Marked)
            CHECK(readBinaryFile(setupIni) == iniText(markedLines(spelled)));
    }
    // Nothing was started by the blank in "Velkor Games".
    CHECK_FALSE(startReport(kGamesRoot).started);
    // The setup INI's read-only mark is gone; the setup program's stays.
    CHECK_FALSE(isReadOnly(gamePath("Spellgale") + "\\VGOSETUP.INI"));
    CHECK(isReadOnly(gamePath("Warbands") + "\\VGOSETUP.EXE"));
    // The service INI file is only read.
    CHECK(readBinaryFile(bed.serviceIni).find("StartIn=<current>") == std::string::npos);
}

TEST_CASE("without -d failures show no message box and are still listed")
{
    PassBed bed;
    StatusDialog dialog;
    bed.writeServiceIni(iniText({"[ibroken]", "EXECUTECount=1", "[icueshot]", "EXECUTECount=2",
                                 "[1 icueshot]", "StartIn=C:\\vkpass\\Cue Shot"}));
    std::string dir = bed.gameDir("Cue Shot");
    REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI", iniText(setupLines("icueshot"))));

    MessageBoxCatcher catcher;
    updateGame(dialog.window, bed.serviceIni.c_str(), "ibroken");
    updateGame(dialog.window, bed.serviceIni.c_str(), "icueshot");
    CHECK(catcher.boxes.empty());
    CHECK(std::string(runState.failedList) == "ibroken\nCue Shot\n");
    CHECK(std::string(runState.updatedList) == "");
    CHECK(readBinaryFile(dir + "\\VGOSETUP.INI") == iniText(markedLines("icueshot")));
}

TEST_CASE("an execute entry section name too long to hold fails the game, never names another")
{
    PassBed bed;
    StatusDialog dialog;
    // "1 " and this name make 80 characters: one more than the name can hold.
    std::string name = "i" + std::string(77, 'x');
    std::string dir = bed.gameDir("Long");
    bed.writeServiceIni(iniText({"[" + name + "]", "EXECUTECount=2", "[1 " + name + "]", "StartIn=" + dir,
                                 "[1 " + name.substr(0, 77) + "]", "StartIn=" + dir}));
    REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI", iniText(setupLines(name))));
    bed.installStandIn(dir);

    updateGame(dialog.window, bed.serviceIni.c_str(), name.c_str());
    CHECK(std::string(runState.failedList) == name + "\n");
    CHECK(std::string(runState.updatedList) == "");
    CHECK(readBinaryFile(dir + "\\VGOSETUP.INI") == iniText(setupLines(name)));
    CHECK_FALSE(startReport(dir).started);
}

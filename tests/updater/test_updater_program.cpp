// vkupdate.exe as a whole, run under Wine on prepared installations and
// driven from outside: which dialogs appear for which switches and
// outcomes, what the summary shows in its two layouts, how it closes, and
// the exit status. Saves screenshots of the progress dialog and of both
// summary layouts.
#include <doctest/doctest.h>

#include <string>
#include <vector>

#include "updater_driver.h"
#include "wine_files.h"

namespace {

const char kProgressCaption[] = "Updating Velkor Games";
const char kSummaryCaption[] = "Velkor Update Utility";
const char kErrorCaption[] = "Update Velkor Games Error Message";

const int kOk = 1;
const int kSuccessBanner = 1003;
const int kUpdatedList = 1004;
const int kFailedList = 1005;
const int kRightGroup = 1006;
const int kFailureBanner = 1007;
const int kLeftGroup = 0xFFFF;  // the template's id -1, as the control reports it

// How a prepared game fares in the pass.
enum GameKind {
    kInstalls,      // setup INI and setup program in place: updated
    kBrokenEntry,   // its execute entry section has no "StartIn": failed
    kNoSetupIni,    // its setup directory has no VGOSETUP.INI: failed
    kAlreadyKnown,  // has its own "StartIn": neither updated nor listed
};

struct Game {
    const char* section;
    GameKind kind;
};

// VELKORGO.INI in the Windows directory and the game directories behind
// it. Each preparation uses fresh directories, so a setup program still
// ending from the last run is never in the way. Everything is put back
// when the tests end.
class Installations {
public:
    Installations()
        : serviceIni_(windowsDirectory() + "\\VELKORGO.INI"),
          root_("C:\\vkupdate-program-tests")
    {
        existed_ = GetFileAttributesA(serviceIni_.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (existed_)
            saved_ = readBinaryFile(serviceIni_);
        CreateDirectoryA(root_.c_str(), nullptr);
    }

    ~Installations()
    {
        if (existed_)
            writeBinaryFile(serviceIni_, saved_);
        else
            removeFile(serviceIni_);
        for (const std::string& dir : dirs_) {
            removeFile(dir + "\\VGOSETUP.INI");
            // A setup program may take a moment to end and let go of its file.
            for (int tries = 0; tries < 50; ++tries) {
                removeFile(dir + "\\VGOSETUP.EXE");
                if (RemoveDirectoryA(dir.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
                    break;
                Sleep(100);
            }
        }
        for (auto it = runDirs_.rbegin(); it != runDirs_.rend(); ++it)
            RemoveDirectoryA(it->c_str());
        RemoveDirectoryA(root_.c_str());
    }

    void removeServiceIni() { removeFile(serviceIni_); }

    void prepare(const std::vector<Game>& games)
    {
        std::string runDir = root_ + "\\run" + std::to_string(++runs_);
        CreateDirectoryA(runDir.c_str(), nullptr);
        runDirs_.push_back(runDir);

        std::string ini = "[Velkor]\r\nVersion=1\r\n";
        for (const Game& game : games) {
            std::string section = game.section;
            std::string dir = runDir + "\\" + section;
            CreateDirectoryA(dir.c_str(), nullptr);
            dirs_.push_back(dir);
            ini += "[" + section + "]\r\nEXECUTECount=1\r\n";
            if (game.kind == kAlreadyKnown)
                ini += "StartIn=" + dir + "\r\n";
            ini += "[0 " + section + "]\r\n";
            if (game.kind != kBrokenEntry)
                ini += "StartIn=" + dir + "\r\n";
            if (game.kind == kInstalls) {
                writeBinaryFile(dir + "\\VGOSETUP.INI", "[" + section + "]\r\nEXECUTECount=1\r\n");
                CopyFileA(testPath("VELKOR_SETUP_STANDIN").c_str(), (dir + "\\VGOSETUP.EXE").c_str(),
                          FALSE);
            }
        }
        REQUIRE(writeBinaryFile(serviceIni_, ini));
    }

    std::string setupIniOf(const char* section) const
    {
        return root_ + "\\run" + std::to_string(runs_) + "\\" + section + "\\VGOSETUP.INI";
    }

private:
    std::string serviceIni_;
    std::string root_;
    bool existed_ = false;
    std::string saved_;
    int runs_ = 0;
    std::vector<std::string> runDirs_;
    std::vector<std::string> dirs_;
};

Installations& installations()
{
    static Installations instance;
    return instance;
}

// A string of the program's own string table.
std::string programString(UINT id)
{
    static HMODULE program = LoadLibraryExA(testPath("VELKOR_UPDATER_EXE").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE);
    char text[1024] = "";
    LoadStringA(program, id, text, sizeof text);
    return text;
}

struct Box {
    long x, y, width, height;
    bool operator==(const Box& o) const
    {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

Box boxOf(const RECT& r)
{
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

const ControlView& control(const DialogView& view, int id)
{
    static const ControlView missing{"<missing>", {-1, -1, -1, -1}};
    auto it = view.controls.find(id);
    return it == view.controls.end() ? missing : it->second;
}

int halfScreenWidth()
{
    return GetSystemMetrics(SM_CXSCREEN) / 2;
}

int halfScreenHeight()
{
    return GetSystemMetrics(SM_CYSCREEN) / 2;
}

// The summary of a run that should show one: found, or a failed test that
// says what came instead.
HWND expectSummary(UpdaterRun& run)
{
    HWND summary = waitForDialog(run, kSummaryCaption);
    if (!summary) {
        if (waitForDialog(run, kErrorCaption, 0))
            FAIL("an error box came where the summary was expected");
        FAIL("no summary; the program " << (isRunning(run) ? "still runs" : "ended"));
    }
    return summary;
}

void expectNarrowLayout(HWND summary, const std::string& updatedList)
{
    DialogView view = viewDialog(summary);
    CHECK(boxOf(view.window) == Box{halfScreenWidth() - 146, halfScreenHeight() - 180, 293, 350});
    CHECK(boxOf(control(view, kSuccessBanner).rect) == Box{0, 25, 293, 50});
    CHECK(boxOf(control(view, kOk).rect) == Box{105, 280, 80, 25});
    CHECK(control(view, kSuccessBanner).text
          == "Velkor Game Client update has completed successfully!");
    CHECK(control(view, kUpdatedList).text == updatedList);
    CHECK(control(view, kFailedList).text == "Unsuccessful Updates");

    // The window's width alone hides the right-hand column.
    CHECK(control(view, kLeftGroup).rect.right <= view.client.cx);
    CHECK(control(view, kUpdatedList).rect.right <= view.client.cx);
    CHECK(control(view, kRightGroup).rect.left >= view.client.cx);
    CHECK(control(view, kFailedList).rect.left >= view.client.cx);
    CHECK(control(view, kFailureBanner).rect.left >= view.client.cx);
}

void expectWideLayout(HWND summary, const std::string& updatedList, const std::string& failedList)
{
    DialogView view = viewDialog(summary);
    CHECK(boxOf(view.window) == Box{halfScreenWidth() - 280, halfScreenHeight() - 180, 560, 350});
    CHECK(boxOf(control(view, kFailureBanner).rect) == Box{25, 25, 510, 50});
    CHECK(boxOf(control(view, kOk).rect) == Box{240, 270, 80, 25});
    std::string banner = programString(2);
    CHECK(banner.rfind("Velkor Game Client update is complete! Before you can launch any of the "
                       "games under \"Unsuccessful Updates\", you must redownload the game from ",
                       0) == 0);
    CHECK(control(view, kFailureBanner).text == banner);
    CHECK(control(view, kUpdatedList).text == updatedList);
    CHECK(control(view, kFailedList).text == failedList);

    // Both columns inside, the success banner beyond the right edge.
    CHECK(control(view, kRightGroup).rect.right <= view.client.cx);
    CHECK(control(view, kFailedList).rect.right <= view.client.cx);
    CHECK(control(view, kSuccessBanner).rect.left >= view.client.cx);
    CHECK(control(view, kSuccessBanner).text == "Success");
}

// Lets a key reach the dialog, then checks that the dialog is still there.
void expectStillOpen(UpdaterRun& run, HWND summary)
{
    Sleep(500);
    CHECK(isRunning(run));
    CHECK(IsWindow(summary));
    CHECK(IsWindowVisible(summary));
}

const char kUpToDate[] = "All installed applications are up to date!";

}  // namespace

namespace doctest {
template <>
struct StringMaker<Box> {
    static String convert(const Box& b)
    {
        return ("(" + std::to_string(b.x) + ", " + std::to_string(b.y) + ") " + std::to_string(b.width)
                + " x " + std::to_string(b.height))
            .c_str();
    }
};
}  // namespace doctest

TEST_CASE("without section names there is the error box but no summary, whatever the switches")
{
    for (std::string arguments : {"", "-d -s", "-d"}) {
        CAPTURE(arguments);
        installations().removeServiceIni();
        UpdaterRun run;
        REQUIRE(startUpdater(run, arguments));
        HWND box = waitForDialog(run, kErrorCaption);
        REQUIRE(box);
        REQUIRE(pressKey(box, VK_RETURN));
        CHECK(waitForDialog(run, kSummaryCaption) == nullptr);
        CHECK(waitForExit(run) == 0);
    }
}

TEST_CASE("only successes: the narrow summary lists them; Escape leaves it open, OK closes it")
{
    installations().prepare({{"irampart", kInstalls}, {"iduskfall", kInstalls}});
    UpdaterRun run;
    REQUIRE(startUpdater(run, ""));
    HWND summary = expectSummary(run);
    expectNarrowLayout(summary, "Rampart Realms\nDuskfall\n");
    CHECK(screenshot(summary, "summary-narrow.png"));

    REQUIRE(pressKey(summary, VK_ESCAPE));
    expectStillOpen(run, summary);

    clickButton(summary, kOk);
    CHECK(waitForExit(run) == 0);
}

TEST_CASE("-s: a pass without failures ends without a summary")
{
    // Upper case counts: the switches are folded before they are compared.
    for (std::string arguments : {"-s", "-S", "  -s", "foo -s -d"}) {
        CAPTURE(arguments);
        installations().prepare({{"irampart", kInstalls}, {"ispellgale", kAlreadyKnown}});
        UpdaterRun run;
        REQUIRE(startUpdater(run, arguments));
        CHECK(waitForDialog(run, kSummaryCaption) == nullptr);
        CHECK(waitForExit(run) == 0);
        // The pass did run: the game's setup INI carries the mark.
        CHECK(readBinaryFile(installations().setupIniOf("irampart")).find("StartIn=<current>")
              != std::string::npos);
    }
}

TEST_CASE("-s with a failure: the wide summary lists both columns; Enter closes it")
{
    installations().prepare({{"irampart", kInstalls}, {"iblotball", kBrokenEntry}});
    UpdaterRun run;
    REQUIRE(startUpdater(run, "-s"));
    HWND summary = expectSummary(run);
    expectWideLayout(summary, "Rampart Realms\n", "Blotball\n");
    CHECK(screenshot(summary, "summary-wide.png"));

    REQUIRE(pressKey(summary, VK_RETURN));
    CHECK(waitForExit(run) == 0);
}

TEST_CASE("only failures: the wide summary says the rest is up to date; the close box closes it")
{
    // No "-d": the failures are only listed, no box interrupts the pass.
    installations().prepare({{"iblotball", kBrokenEntry}, {"icueshot", kNoSetupIni}});
    UpdaterRun run;
    REQUIRE(startUpdater(run, ""));
    HWND summary = expectSummary(run);
    expectWideLayout(summary, kUpToDate, "Blotball\nCue Shot\n");

    REQUIRE(pressKey(summary, VK_ESCAPE));
    expectStillOpen(run, summary);

    pressCloseBox(summary);
    CHECK(waitForExit(run) == 0);
}

TEST_CASE("nothing to update: the narrow summary says all is up to date")
{
    installations().prepare({{"ispellgale", kAlreadyKnown}});
    UpdaterRun run;
    REQUIRE(startUpdater(run, ""));
    HWND summary = expectSummary(run);
    expectNarrowLayout(summary, kUpToDate);

    REQUIRE(pressKey(summary, VK_RETURN));
    CHECK(waitForExit(run) == 0);
}

TEST_CASE("-d: each failure gets a box during the pass, then the wide summary")
{
    installations().prepare({{"irampart", kInstalls}, {"iblotball", kBrokenEntry},
                             {"icueshot", kNoSetupIni}});
    UpdaterRun run;
    REQUIRE(startUpdater(run, "-D"));

    for (std::string title : {"Blotball", "Cue Shot"}) {
        CAPTURE(title);
        HWND box = waitForDialog(run, kErrorCaption);
        REQUIRE(box);
        // The pass waits for the player: the progress dialog still shows
        // the game in question.
        HWND progress = waitForDialog(run, kProgressCaption, 0);
        REQUIRE(progress);
        CHECK(windowText(GetDlgItem(progress, 100)) == std::string("Updating: ") + title);
        if (title == "Blotball")
            CHECK(screenshot(progress, "progress-dialog.png"));
        REQUIRE(pressKey(box, VK_RETURN));
        // Gone before the next one is looked for.
        for (int tries = 0; tries < 200 && IsWindow(box); ++tries)
            Sleep(10);
    }

    HWND summary = expectSummary(run);
    expectWideLayout(summary, "Rampart Realms\n", "Blotball\nCue Shot\n");
    clickButton(summary, kOk);
    CHECK(waitForExit(run) == 0);
}

// The configuration dialog and the About box, opened for real under Windows
// (Wine) and worked from a second thread as a user would work them.
#include "dialog_driver.h"
#include "registry_fixture.h"

#include "glimmora_version.h"
#include "settings/resource_ids.h"
#include "support/temp_dir.h"

#include <commctrl.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <thread>

using namespace dialog_driver;

namespace {

// The Glimmora.scr of this build, from the command line.
std::string saverPath;

using Snapshot = std::map<std::string, RegistryValue>;

Snapshot snapshot() {
    Snapshot values;
    for (const std::string& name : registry_testing::valueNames(Settings::registryKey)) {
        if (auto value = registry_testing::inspectValue(Settings::registryKey, name)) {
            values[name] = *value;
        }
    }
    return values;
}

bool same(const Snapshot& a, const Snapshot& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.first == y.first && x.second.type == y.second.type && x.second.data == y.second.data;
    });
}

std::string windowsPath(const std::filesystem::path& path) {
    return path.string();
}

HWND item(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

int sliderPosition(HWND dialog) {
    return static_cast<int>(SendMessageA(item(dialog, IDC_SECONDS_SLIDER), TBM_GETPOS, 0, 0));
}

std::string label(HWND dialog) {
    return text(item(dialog, IDC_SECONDS_LABEL));
}

bool multimonChecked(HWND dialog) {
    return IsDlgButtonChecked(dialog, IDC_MULTIMON) == BST_CHECKED;
}

bool pairsChecked(HWND dialog) {
    return IsDlgButtonChecked(dialog, IDC_PAIRS) == BST_CHECKED;
}

void selectEntries(HWND dialog, const std::vector<int>& indices) {
    HWND list = item(dialog, IDC_DIRECTORY_LIST);
    SendMessageA(list, LB_SETSEL, FALSE, -1);
    for (int index : indices) SendMessageA(list, LB_SETSEL, TRUE, index);
}

// Selects `path` in the folder browser as a user's click would, until its
// tree shows the folder `name` selected (Wine's browser may still be busy
// selecting its start folder when it shows). Gives up after 15 s.
bool selectInBrowser(HWND browser, const std::string& path, const std::string& name) {
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    for (int attempt = 0; attempt < 150; ++attempt) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        Sleep(100);
        char text[MAX_PATH] = {};
        TVITEMA entry{};
        entry.mask = TVIF_TEXT;
        entry.hItem = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        entry.pszText = text;
        entry.cchTextMax = sizeof text;
        if (entry.hItem && SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&entry)) &&
            name == text) {
            return true;
        }
    }
    return false;
}

// Selects `path` in the folder browser through the wide messages, as
// selectInBrowser does, for paths the ANSI ones cannot carry whole.
bool selectInBrowserWide(HWND browser, const std::wstring& path, const std::wstring& name) {
    HWND tree = FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    for (int attempt = 0; attempt < 150; ++attempt) {
        SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        Sleep(100);
        wchar_t text[MAX_PATH] = {};
        TVITEMW entry{};
        entry.mask = TVIF_TEXT;
        entry.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        entry.pszText = text;
        entry.cchTextMax = MAX_PATH;
        if (entry.hItem && SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&entry)) &&
            name == text) {
            return true;
        }
    }
    return false;
}

// Alt with `letter` as the keyboard delivers it to the dialog's queue, so
// that the modal loop's dialog manager (IsDialogMessage) handles it.
void altKey(HWND dialog, char letter) {
    constexpr LPARAM altDown = LPARAM(1) << 29;
    PostMessageA(dialog, WM_SYSCHAR, static_cast<WPARAM>(letter), altDown | 1);
}

// The window with the keyboard focus in the thread of `window`.
HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// Waits up to 10 s for `check` to hold.
bool eventually(const std::function<bool()>& check) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (check()) return true;
        Sleep(50);
    }
    return check();
}

class DialogTest : public RegistryTest {
protected:
    std::vector<std::string> directories() const {
        Settings back;
        back.load();
        return back.directories;
    }
    std::string storedText(const std::string& name) const {
        const auto value = stored(name);
        if (!value) return "(absent)";
        return std::string(value->data.begin(), value->data.end());
    }
};

}  // namespace

TEST_F(DialogTest, FirstOpeningShowsDefaultsAndCancelWritesNothing) {
    Settings record;
    const int result = runDialog(record, [](HWND dialog) {
        EXPECT_EQ(className(item(dialog, IDC_SECONDS_SLIDER)), "msctls_trackbar32");
        EXPECT_TRUE(GetWindowLongA(item(dialog, IDC_DIRECTORY_LIST), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
        EXPECT_TRUE(listEntries(item(dialog, IDC_DIRECTORY_LIST)).empty());
        HWND combo = item(dialog, IDC_TEXTURE_SIZE);
        EXPECT_EQ(comboSelection(combo), "Driver Maximum");
        EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 5);
        EXPECT_EQ(SendMessageA(item(dialog, IDC_SECONDS_SLIDER), TBM_GETRANGEMAX, 0, 0), 550);
        EXPECT_EQ(sliderPosition(dialog), 120);
        EXPECT_EQ(label(dialog), "17");
        EXPECT_FALSE(multimonChecked(dialog));
        EXPECT_TRUE(pairsChecked(dialog));
        clickLater(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(storedNames().empty());
    EXPECT_EQ(record.dialogWindow, nullptr);
    EXPECT_TRUE(dialogSettings.empty());
}

// A whole session: every control touched, then Defaults, then OK.
TEST_F(DialogTest, DefaultsAfterEveryChangeThenOkStoresDefaultsAndTheLoadedList) {
    TempDir folders;
    const std::string zeta = windowsPath(folders.path() / "zeta");
    const std::string alpha = windowsPath(folders.path() / "Alpha");
    const std::string mid = windowsPath(folders.path() / "mid");
    std::filesystem::create_directories(zeta);
    std::filesystem::create_directories(alpha);
    std::filesystem::create_directories(mid);
    const std::string file = folders.file("picture.jpg");
    writeFile(file, "not a folder");

    plantDword("DirCount", 2);
    plantText("Dir001", zeta);
    plantText("Dir002", mid);
    plantDword("texDim", 2);
    plantDword("scandirChunkSize", 42);
    plantText("secondsPerImage", "30");
    plantText("fadeMean", "5");

    Settings record;
    const int result = runDialog(record, [&](HWND dialog) {
        HWND slider = item(dialog, IDC_SECONDS_SLIDER);
        HWND list = item(dialog, IDC_DIRECTORY_LIST);
        EXPECT_EQ(sliderPosition(dialog), 250);
        EXPECT_EQ(label(dialog), "30");
        EXPECT_EQ(comboSelection(item(dialog, IDC_TEXTURE_SIZE)), "1024x1024");

        press(slider, VK_END);
        EXPECT_EQ(sliderPosition(dialog), 550);
        EXPECT_EQ(label(dialog), "60");
        press(slider, VK_HOME);
        EXPECT_EQ(label(dialog), "5");
        press(slider, VK_RIGHT, 120);
        EXPECT_EQ(label(dialog), "17");

        SendMessageA(item(dialog, IDC_TEXTURE_SIZE), CB_SETCURSEL, 3, 0);
        click(dialog, IDC_MULTIMON);
        EXPECT_TRUE(multimonChecked(dialog));
        click(dialog, IDC_PAIRS);
        EXPECT_FALSE(pairsChecked(dialog));

        drop(list, {alpha, file, zeta});
        EXPECT_EQ(listEntries(list), (std::vector<std::string>{alpha, mid, zeta, zeta}));
        selectEntries(dialog, {0, 2, 3});
        press(list, VK_DELETE);
        EXPECT_EQ(listEntries(list), (std::vector<std::string>{mid}));

        click(dialog, IDC_DEFAULTS);
        EXPECT_EQ(listEntries(list), (std::vector<std::string>{mid, zeta}));
        EXPECT_EQ(sliderPosition(dialog), 120);
        EXPECT_EQ(label(dialog), "17");
        EXPECT_EQ(comboSelection(item(dialog, IDC_TEXTURE_SIZE)), "Driver Maximum");
        EXPECT_FALSE(multimonChecked(dialog));
        EXPECT_TRUE(pairsChecked(dialog));
        clickLater(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);

    EXPECT_TRUE(valueIs(stored("texDim"), kRegistryDword, dword(0)));
    EXPECT_TRUE(valueIs(stored("multimon"), kRegistryDword, dword(0)));
    EXPECT_TRUE(valueIs(stored("pairs"), kRegistryDword, dword(1)));
    EXPECT_TRUE(valueIs(stored("scandirChunkSize"), kRegistryDword, dword(666)));
    EXPECT_TRUE(valueIs(stored("DirCount"), kRegistryDword, dword(2)));
    EXPECT_TRUE(valueIs(stored("Dir001"), kRegistryString, sz(mid)));
    EXPECT_TRUE(valueIs(stored("Dir002"), kRegistryString, sz(zeta)));
    const std::pair<const char*, const char*> floats[] = {
        {"secondsPerImage", "17"}, {"secondsPerImageSigma", "1"}, {"fadeMean", "3"},
        {"fadeSigma", "0.1"},      {"x0Mean", "0"},               {"x0Sigma", "0.2"},
        {"y0Mean", "0"},           {"y0Sigma", "0.15"},           {"z0Mean", "-0.8"},
        {"z0Sigma", "0.03"},       {"x1Mean", "0"},               {"x1Sigma", "0.01"},
        {"y1Mean", "0"},           {"y1Sigma", "0.01"},           {"z1Mean", "-1"},
        {"z1Sigma", "0.01"}};
    for (const auto& [name, text] : floats) {
        EXPECT_TRUE(valueIs(stored(name), kRegistryString, sz(text))) << name;
    }
    EXPECT_EQ(storedNames().size(), 23u);  // twenty-one values and two folders
}

TEST_F(DialogTest, OkStoresTheControlsWithDuplicatesInSortedOrder) {
    TempDir folders;
    const std::string b = windowsPath(folders.path() / "b");
    const std::string a = windowsPath(folders.path() / "a");
    std::filesystem::create_directories(a);
    std::filesystem::create_directories(b);
    plantText("x0Sigma", "0.5");

    Settings record;
    const int result = runDialog(record, [&](HWND dialog) {
        HWND list = item(dialog, IDC_DIRECTORY_LIST);
        drop(list, {b, a});
        drop(list, {b});
        selectEntries(dialog, {0});
        press(list, 'X');  // only Delete removes
        press(item(dialog, IDC_SECONDS_SLIDER), VK_END);
        SendMessageA(item(dialog, IDC_TEXTURE_SIZE), CB_SETCURSEL, 4, 0);
        click(dialog, IDC_MULTIMON);
        click(dialog, IDC_PAIRS);
        clickLater(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(directories(), (std::vector<std::string>{a, b, b}));
    EXPECT_TRUE(valueIs(stored("pairs"), kRegistryDword, dword(0)));
    EXPECT_EQ(storedText("secondsPerImage"), std::string("60", 3));
    EXPECT_TRUE(valueIs(stored("texDim"), kRegistryDword, dword(4)));
    EXPECT_TRUE(valueIs(stored("multimon"), kRegistryDword, dword(1)));
    EXPECT_TRUE(valueIs(stored("x0Sigma"), kRegistryString, sz("0.5")));  // kept, not shown
    EXPECT_EQ(record.directories, (std::vector<std::string>{a, b, b}));
}

TEST_F(DialogTest, StoredSecondsOutsideTheSliderAreClampedOnlyByOk) {
    struct Case {
        const char* stored;
        int position;
        const char* label;
        const char* saved;
    };
    const Case cases[] = {{"90", 550, "90", "60"}, {"3", 0, "3", "5"}, {"17.04", 120, "17.04", "17"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        plantText("secondsPerImage", c.stored);
        Settings record;
        EXPECT_EQ(runDialog(record, [&](HWND dialog) {
                      EXPECT_EQ(sliderPosition(dialog), c.position);
                      EXPECT_EQ(label(dialog), c.label);
                      clickLater(dialog, IDOK);
                  }),
                  IDOK);
        EXPECT_EQ(storedText("secondsPerImage"), std::string(c.saved) + '\0');
    }
}

TEST_F(DialogTest, CancelAfterChangesLeavesTheRegistryByteForByte) {
    TempDir folders;
    plantDword("DirCount", 3);
    plantText("Dir001", "C:\\one");
    plantText("Dir003", "C:\\three");
    plantText("secondsPerImage", " 12.5 ");
    plantDword("multimon", 7);
    plant("fadeMean", kRegistryString, bytes("2.5x"));  // no terminator
    const Snapshot before = snapshot();

    Settings record;
    const int result = runDialog(record, [&](HWND dialog) {
        drop(item(dialog, IDC_DIRECTORY_LIST), {windowsPath(folders.path())});
        press(item(dialog, IDC_SECONDS_SLIDER), VK_HOME);
        click(dialog, IDC_MULTIMON);
        click(dialog, IDC_DEFAULTS);
        clickLater(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(same(snapshot(), before));
}

TEST_F(DialogTest, RemoveButtonDeletesExactlyTheSelectedEntries) {
    plantDword("DirCount", 5);
    for (int i = 1; i <= 5; ++i) plantText("Dir00" + std::to_string(i), "C:\\d" + std::to_string(i));
    Settings record;
    runDialog(record, [](HWND dialog) {
        click(dialog, IDC_REMOVE_DIRECTORY);  // nothing selected: nothing happens
        selectEntries(dialog, {3, 0, 2});
        click(dialog, IDC_REMOVE_DIRECTORY);
        EXPECT_EQ(listEntries(item(dialog, IDC_DIRECTORY_LIST)),
                  (std::vector<std::string>{"C:\\d2", "C:\\d5"}));
        clickLater(dialog, IDOK);
    });
    EXPECT_EQ(directories(), (std::vector<std::string>{"C:\\d2", "C:\\d5"}));
    EXPECT_FALSE(has("Dir003"));
}

TEST_F(DialogTest, DropAddsFoldersOnlyAndNeverCutsAPath) {
    TempDir folders;
    const std::string folder = windowsPath(folders.path());
    // A folder of exactly 259 characters with a subfolder: the subfolder's
    // path, cut to fit MAX_PATH, would name its parent instead.
    std::string parent = folder + "\\";
    parent += std::string(MAX_PATH - 1 - parent.size(), 'p');
    const std::string child = parent + "\\sub";
    std::filesystem::create_directories(child);
    ASSERT_EQ(GetFileAttributesA(parent.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    Settings record;
    runDialog(record, [&](HWND dialog) {
        HWND list = item(dialog, IDC_DIRECTORY_LIST);
        drop(list, {child, folder + "\\missing", folders.file("x.png")});
        writeFile(folders.file("x.png"), "file");
        drop(list, {folders.file("x.png"), folder});
        EXPECT_EQ(listEntries(list), (std::vector<std::string>{folder}));
        clickLater(dialog, IDOK);
    });
    EXPECT_EQ(directories(), (std::vector<std::string>{folder}));
}

TEST_F(DialogTest, AddDirectoryAddsTheChosenFolderAndMakesItTheStartFolder) {
    TempDir folders;
    const std::string first = windowsPath(folders.path() / "first");
    const std::string second = windowsPath(folders.path() / "second");
    std::filesystem::create_directories(first);
    std::filesystem::create_directories(second);
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(first.c_str()));

    // The user walks to "second" and takes it, twice; the folder taken
    // becomes the start folder of the next browse.
    bool browserSelected = true;
    Settings record;
    runDialog(record, [&](HWND dialog) {
        for (int browse = 0; browse < 2 && browserSelected; ++browse) {
            clickLater(dialog, IDC_ADD_DIRECTORY);
            HWND browser = waitForDialog(nullptr, GetCurrentProcessId(), dialog);
            ASSERT_NE(browser, nullptr);
            browserSelected = selectInBrowser(browser, second, "second");
            PostMessageA(browser, WM_COMMAND, browserSelected ? IDOK : IDCANCEL, 0);
            ASSERT_TRUE(waitUntilGone(browser));
        }
        if (browserSelected) {
            EXPECT_EQ(listEntries(item(dialog, IDC_DIRECTORY_LIST)),
                      (std::vector<std::string>{second, second}));
        }
        clickLater(dialog, browserSelected ? IDOK : IDCANCEL);
    });
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    SetCurrentDirectoryA(previous);
    // Wine's browser now and then never shows a folder selected (it may be
    // stuck on drive Z:); that says nothing about the dialog.
    if (!browserSelected) GTEST_SKIP() << "the folder browser did not select the folder";
    EXPECT_EQ(directories(), (std::vector<std::string>{second, second}));
    EXPECT_EQ(std::string(current), second);
}

TEST_F(DialogTest, AboutBoxOpensFromItsButtonAndClosesWithOk) {
    Settings record;
    const int result = runDialog(record, [](HWND dialog) {
        clickLater(dialog, IDC_ABOUT);
        HWND about = waitForDialog(aboutCaption, GetCurrentProcessId(), dialog);
        ASSERT_NE(about, nullptr);
        std::vector<std::string> lines;
        for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            lines.push_back(text(child));
        }
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[0], "Glimmora");
        EXPECT_EQ(lines[1].front(), '[');
        EXPECT_EQ(lines[1].back(), ']');
        EXPECT_EQ(lines[2], "by Quillon");
        EXPECT_NE(lines[3].find(GLIMMORA_VERSION_STRING), std::string::npos) << lines[3];
        EXPECT_NE(lines[3].find(GLIMMORA_RELEASE_DATE), std::string::npos) << lines[3];
        EXPECT_FALSE(IsWindowEnabled(dialog));  // modal to the dialog
        clickLater(about, IDOK);
        EXPECT_TRUE(waitUntilGone(about));
        EXPECT_TRUE(IsWindow(dialog));
        clickLater(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(DialogTest, MnemonicsReachTheirControlsThroughTheDialogManager) {
    Settings record;
    runDialog(record, [](HWND dialog) {
        // Alt+B opens the About box, with the focus on its OK button.
        altKey(dialog, 'b');
        HWND about = waitForDialog(aboutCaption, GetCurrentProcessId(), dialog);
        ASSERT_NE(about, nullptr);
        EXPECT_TRUE(eventually([&] { return focusOf(about) == GetDlgItem(about, IDOK); }));
        PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
        ASSERT_TRUE(waitUntilGone(about));

        // Alt+A opens the folder browser, not the About box.
        altKey(dialog, 'a');
        HWND browser = waitForDialog(nullptr, GetCurrentProcessId(), dialog);
        ASSERT_NE(browser, nullptr);
        EXPECT_NE(text(browser), aboutCaption);
        EXPECT_NE(FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr), nullptr);
        PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(waitUntilGone(browser));

        // The labels lead to the controls after them; the check box's own
        // mnemonic ticks it.
        const struct {
            char letter;
            int control;
        } labels[] = {{'t', IDC_TEXTURE_SIZE}, {'s', IDC_SECONDS_SLIDER}, {'i', IDC_DIRECTORY_LIST}};
        for (const auto& label : labels) {
            altKey(dialog, label.letter);
            EXPECT_TRUE(eventually([&] { return focusOf(dialog) == item(dialog, label.control); }))
                << "Alt+" << label.letter;
        }
        altKey(dialog, 'm');
        EXPECT_TRUE(eventually([&] { return multimonChecked(dialog); }));
        altKey(dialog, 'p');
        EXPECT_TRUE(eventually([&] { return !pairsChecked(dialog); }));
        clickLater(dialog, IDCANCEL);
    });
}

TEST_F(DialogTest, BrowsedFolderLongerThanAPathInBytesIsAddedWhole) {
    // 100 two-byte and 60 three-byte letters: far fewer than MAX_PATH
    // characters, but over 259 bytes in UTF-8, the saver's code page.
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    TempDir folders;
    std::wstring greek(100, L'\u03A9');
    std::wstring chinese(60, L'\u5199');
    const std::filesystem::path folder = folders.path() / greek / chinese;
    std::filesystem::create_directories(folder);
    const std::wstring wide = folder.wstring();
    std::string utf8(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr,
                                                                  0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    utf8.pop_back();
    ASSERT_GT(utf8.size(), 259u);
    ASSERT_LT(folder.wstring().size(), 240u);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);

    bool browserSelected = false;
    Settings record;
    runDialog(record, [&](HWND dialog) {
        clickLater(dialog, IDC_ADD_DIRECTORY);
        HWND browser = waitForDialog(nullptr, GetCurrentProcessId(), dialog);
        ASSERT_NE(browser, nullptr);
        browserSelected = selectInBrowserWide(browser, folder.wstring(), chinese);
        PostMessageA(browser, WM_COMMAND, browserSelected ? IDOK : IDCANCEL, 0);
        ASSERT_TRUE(waitUntilGone(browser));
        if (browserSelected) {
            EXPECT_EQ(listEntries(item(dialog, IDC_DIRECTORY_LIST)), (std::vector<std::string>{utf8}));
        }
        clickLater(dialog, browserSelected ? IDOK : IDCANCEL);
    });
    SetCurrentDirectoryW(previous);
    if (!browserSelected) GTEST_SKIP() << "the folder browser did not select the folder";
    EXPECT_EQ(directories(), (std::vector<std::string>{utf8}));
}

TEST_F(DialogTest, SecondOpeningInOneProcessShowsTheListOnce) {
    plantDword("DirCount", 1);
    plantText("Dir001", "C:\\once");
    Settings record;
    for (int opening = 0; opening < 2; ++opening) {
        runDialog(record, [](HWND dialog) {
            EXPECT_EQ(listEntries(item(dialog, IDC_DIRECTORY_LIST)),
                      (std::vector<std::string>{"C:\\once"}));
            clickLater(dialog, IDOK);
        });
    }
    EXPECT_EQ(directories(), (std::vector<std::string>{"C:\\once"}));
}

TEST_F(DialogTest, NoTextureSelectionStoresDriverMaximum) {
    plantDword("texDim", 3);
    Settings record;
    runDialog(record, [](HWND dialog) {
        HWND combo = item(dialog, IDC_TEXTURE_SIZE);
        EXPECT_EQ(comboSelection(combo), "512x512");
        SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        clickLater(dialog, IDOK);
    });
    EXPECT_TRUE(valueIs(stored("texDim"), kRegistryDword, dword(0)));
}

// A key the user may read but not change (as a policy can make it): OK
// still closes the dialog, and its result tells that nothing was stored.
TEST_F(DialogTest, OkThatCannotStoreEndsWithFailure) {
    plantText("secondsPerImage", "30");
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:(D;;0x0002;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Settings::registryKey, 0, WRITE_DAC, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
    RegCloseKey(key);
    LocalFree(readOnly);

    Settings record;
    const int result = runDialog(record, [](HWND dialog) {
        press(item(dialog, IDC_SECONDS_SLIDER), VK_END);
        clickLater(dialog, IDOK);
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(storedText("secondsPerImage"), std::string("30", 3));
}

// The product itself, as the display settings start it.
TEST_F(DialogTest, SaverShowsTheDialogForSlashCAndForNoSwitch) {
    ASSERT_FALSE(saverPath.empty());
    TempDir folders;
    const std::string folder = windowsPath(folders.path());
    {
        FrontWindow front;
        ChildProcess saver("\"" + saverPath + "\" /c:1234");
        ASSERT_TRUE(saver.started());
        HWND dialog = waitForDialog(settingsCaption, saver.id());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), front.get());
        press(item(dialog, IDC_SECONDS_SLIDER), VK_END);
        press(item(dialog, IDC_SECONDS_SLIDER), VK_LEFT, 100);
        clickLater(dialog, IDOK);
        EXPECT_EQ(saver.waitForExit(), 1u);
    }
    EXPECT_EQ(storedText("secondsPerImage"), std::string("50", 3));
    EXPECT_EQ(storedNames().size(), 21u);

    const Snapshot before = snapshot();
    {
        ChildProcess saver("\"" + saverPath + "\"");
        ASSERT_TRUE(saver.started());
        HWND dialog = waitForDialog(settingsCaption, saver.id());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);
        EXPECT_EQ(label(dialog), "50");
        press(item(dialog, IDC_SECONDS_SLIDER), VK_HOME);
        clickLater(dialog, IDCANCEL);
        EXPECT_EQ(saver.waitForExit(), 2u);
    }
    EXPECT_TRUE(same(snapshot(), before));
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        char full[MAX_PATH];
        if (GetFullPathNameA(argv[1], sizeof full, full, nullptr)) saverPath = full;
    }
    // A dialog that never closes would hang the run; end it instead.
    std::thread([] {
        Sleep(240000);
        std::cerr << "dialog_tests: still running after 240 s, giving up\n";
        TerminateProcess(GetCurrentProcess(), 3);
    }).detach();
    return RUN_ALL_TESTS();
}

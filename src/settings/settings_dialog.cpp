// The configuration dialog and the About box. The dialog edits a Settings
// record: its controls hold working copies of the values, and the record
// changes only through Defaults (every value but the list) and OK.
#include "settings/dialog_values.h"
#include "settings/resource_ids.h"
#include "settings/settings.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The folder browser's buffers are MAX_PATH characters by its contract.
constexpr std::size_t pathChars = MAX_PATH;

// The list box's subclass that hands dropped files to the dialog.
constexpr UINT_PTR dropForwarderId = 1;

HINSTANCE moduleInstance() {
    return GetModuleHandleA(nullptr);
}

HWND control(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

void setSecondsLabel(HWND dialog, float seconds) {
    SetDlgItemTextA(dialog, IDC_SECONDS_LABEL, secondsText(seconds).c_str());
}

void addDirectory(HWND dialog, const char* path) {
    SendDlgItemMessageA(dialog, IDC_DIRECTORY_LIST, LB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(path));
}

// Every entry of the list box, first to last, whatever their length.
std::vector<std::string> listedDirectories(HWND dialog) {
    std::vector<std::string> entries;
    HWND list = control(dialog, IDC_DIRECTORY_LIST);
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length == LB_ERR) continue;
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        const LRESULT copied = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i),
                                            reinterpret_cast<LPARAM>(text.data()));
        if (copied == LB_ERR) continue;
        text.resize(static_cast<std::size_t>(copied));
        entries.push_back(std::move(text));
    }
    return entries;
}

// Passes WM_DROPFILES on to the dialog: the list box is the window that
// accepts drops, but the dialog procedure is where they are handled.
LRESULT CALLBACK dropForwarder(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                               UINT_PTR, DWORD_PTR) {
    if (message == WM_DROPFILES) {
        return SendMessageA(GetParent(list), WM_DROPFILES, wParam, lParam);
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(list, dropForwarder, dropForwarderId);
    return DefSubclassProc(list, message, wParam, lParam);
}

// Deletes the selected entries of the directory list; the record follows
// at OK.
void removeSelectedDirectories(HWND dialog) {
    HWND list = control(dialog, IDC_DIRECTORY_LIST);
    const LRESULT count = SendMessageA(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return;
    std::vector<int> selected(static_cast<std::size_t>(count));
    const LRESULT fetched = SendMessageA(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                         reinterpret_cast<LPARAM>(selected.data()));
    if (fetched <= 0) return;
    selected.resize(static_cast<std::size_t>(fetched));
    // From the highest index down, so each deletion leaves the rest valid.
    std::sort(selected.begin(), selected.end());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(*it), 0);
    }
}

// A path from the wide API in the active code page, the one the saver's
// file functions take; empty when some character has no form there (the
// saver could not walk such a folder).
std::string activeCodePagePath(const wchar_t* path) {
    const int bytes = WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string text(static_cast<std::size_t>(bytes), '\0');
    BOOL lossy = FALSE;
    // The UTF-8 code page takes no default-character flag; every character
    // has a form there.
    const bool utf8 = GetACP() == CP_UTF8;
    if (WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, path, -1, text.data(), bytes,
                            nullptr, utf8 ? nullptr : &lossy) != bytes ||
        lossy)
        return {};
    text.resize(static_cast<std::size_t>(bytes - 1));
    return text;
}

// Starts the folder browser in the process's current directory, which is
// the folder chosen last.
int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM) {
    if (message == BFFM_INITIALIZED) {
        wchar_t path[pathChars];
        const DWORD length = GetCurrentDirectoryW(pathChars, path);
        if (length > 0 && length < pathChars) {
            SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path));
        }
    }
    return 0;
}

// The browser works in the wide API: a folder of MAX_PATH characters may
// take several times as many bytes in the active code page (UTF-8), and
// the ANSI browser would cut it short.
void browseForDirectory(HWND dialog) {
    // The shell's browser needs COM on this thread; it is initialised only
    // for the browse, unless someone had done so already.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    wchar_t displayName[pathChars] = {};
    BROWSEINFOW info{};
    info.hwndOwner = dialog;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Select image directory";
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = browseCallback;
    if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
        wchar_t path[pathChars];
        if (SHGetPathFromIDListW(item, path)) {
            const std::string entry = activeCodePagePath(path);
            if (!entry.empty()) {
                // The next browse starts here.
                SetCurrentDirectoryW(path);
                addDirectory(dialog, entry.c_str());
            }
        }
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
            allocator->Free(item);
            allocator->Release();
        }
    }

    if (SUCCEEDED(com)) CoUninitialize();
}

// Adds the dropped folders to the list and ignores files. A path is fetched
// whole, however long: cut short, it could name a different folder. One
// that the ANSI file functions cannot reach is no folder the saver could
// walk, and its attributes do not read.
void addDroppedDirectories(HWND dialog, HDROP drop) {
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::string path(length + 1, '\0');
        if (DragQueryFileA(drop, i, path.data(), length + 1) != length) continue;
        path.resize(length);
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            addDirectory(dialog, path.c_str());
        }
    }
    DragFinish(drop);
}

INT_PTR CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        // Enter or Space closes the box at once.
        SetFocus(GetDlgItem(window, IDOK));
        return FALSE;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) EndDialog(window, id);
        return FALSE;
    }
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_ABOUT_HIGHLIGHT) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 255));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// The dialog's behaviour on the record it is bound to.
class DialogProcedures {
public:
    DialogProcedures(Settings& record, HWND dialog) : record_(record), dialog_(dialog) {}

    INT_PTR dialogProc(UINT message, WPARAM wParam, LPARAM lParam);
    void fillDialog();

private:
    void initialise();
    void ok();

    Settings& record_;
    HWND dialog_;
};

void DialogProcedures::fillDialog() {
    HWND slider = control(dialog_, IDC_SECONDS_SLIDER);
    const float seconds = record_.secondsPerImage.load(std::memory_order_relaxed);
    SendMessageA(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kSecondsSliderLast));
    SendMessageA(slider, TBM_SETLINESIZE, 0, 1);
    SendMessageA(slider, TBM_SETPAGESIZE, 0, 1);
    SendMessageA(slider, TBM_SETPOS, TRUE, positionForSeconds(seconds));
    // The stored value itself, even where the slider cannot show it.
    setSecondsLabel(dialog_, seconds);

    CheckDlgButton(dialog_, IDC_MULTIMON, record_.multimon ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog_, IDC_PAIRS, record_.pairs ? BST_CHECKED : BST_UNCHECKED);

    HWND combo = control(dialog_, IDC_TEXTURE_SIZE);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::int32_t edge : textureSizeChoices) {
        SendMessageA(combo, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(textureChoiceText(edge).c_str()));
    }
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(record_.texDim), 0);

    // The list box sorts by its own order, whatever the record's.
    SendDlgItemMessageA(dialog_, IDC_DIRECTORY_LIST, LB_RESETCONTENT, 0, 0);
    for (const std::string& directory : record_.directories) {
        addDirectory(dialog_, directory.c_str());
    }
}

void DialogProcedures::initialise() {
    InitCommonControls();
    // The dialog shows what is stored. load() appends to the list, so a
    // record that was loaded before (or a second opening in one process)
    // would otherwise show every directory twice.
    record_.directories.clear();
    record_.load();
    fillDialog();
    SetWindowSubclass(control(dialog_, IDC_DIRECTORY_LIST), dropForwarder, dropForwarderId, 0);
}

void DialogProcedures::ok() {
    const auto position =
        static_cast<int>(SendDlgItemMessageA(dialog_, IDC_SECONDS_SLIDER, TBM_GETPOS, 0, 0));
    record_.secondsPerImage.store(secondsAtPosition(position), std::memory_order_relaxed);
    // No selection is possible only for an index the table lacks; it is
    // stored as "Driver Maximum".
    const LRESULT choice = SendDlgItemMessageA(dialog_, IDC_TEXTURE_SIZE, CB_GETCURSEL, 0, 0);
    record_.texDim = choice == CB_ERR ? 0 : static_cast<std::int32_t>(choice);
    record_.multimon = IsDlgButtonChecked(dialog_, IDC_MULTIMON) == BST_CHECKED;
    record_.pairs = IsDlgButtonChecked(dialog_, IDC_PAIRS) == BST_CHECKED;
    record_.directories = listedDirectories(dialog_);
    // The dialog closes either way; a caller can tell from the result that
    // the settings were not stored.
    EndDialog(dialog_, record_.save() ? IDOK : -1);
}

INT_PTR DialogProcedures::dialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initialise();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            ok();
            break;
        case IDCANCEL:
            EndDialog(dialog_, IDCANCEL);
            break;
        case IDC_ABOUT:
            DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(IDD_ABOUT), dialog_, aboutProc, 0);
            break;
        case IDC_DEFAULTS:
            record_.setDefaults();
            fillDialog();
            break;
        case IDC_ADD_DIRECTORY:
            browseForDirectory(dialog_);
            break;
        case IDC_REMOVE_DIRECTORY:
            removeSelectedDirectories(dialog_);
            break;
        default:
            break;
        }
        return TRUE;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) != control(dialog_, IDC_SECONDS_SLIDER)) return FALSE;
        setSecondsLabel(dialog_, secondsAtPosition(static_cast<int>(
                                     SendMessageA(reinterpret_cast<HWND>(lParam), TBM_GETPOS, 0, 0))));
        return TRUE;
    case WM_VKEYTOITEM:
        if (reinterpret_cast<HWND>(lParam) != control(dialog_, IDC_DIRECTORY_LIST)) return -1;
        if (LOWORD(wParam) != VK_DELETE) return -1;
        removeSelectedDirectories(dialog_);
        return -2;
    case WM_DROPFILES:
        addDroppedDirectories(dialog_, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK dialogProcThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG && lParam) {
        auto* record = reinterpret_cast<Settings*>(lParam);
        record->dialogWindow = window;
        dialogSettings.emplace(window, record);  // an existing entry stays
    }
    const auto entry = dialogSettings.find(window);
    if (entry == dialogSettings.end()) return FALSE;
    return DialogProcedures(*entry->second, window).dialogProc(message, wParam, lParam);
}

}  // namespace

int Settings::showDialog(void* parent) {
    // The slider's window class must exist before the template's controls
    // are created, which is before WM_INITDIALOG.
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);

    const INT_PTR result =
        DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(IDD_SETTINGS), static_cast<HWND>(parent),
                        dialogProcThunk, reinterpret_cast<LPARAM>(this));
    if (dialogWindow) {
        dialogSettings.erase(dialogWindow);
        dialogWindow = nullptr;
    }
    return static_cast<int>(result);
}

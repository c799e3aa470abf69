// SPDX-License-Identifier: MIT
// The face a Windows recipient sees after a double click: one small dialog with a masked key
// box, OK and Cancel. The file is restored beside the self-extracting file, under its name
// without ".exe"; a key whose result looks like a wrong key's is asked for again (three tries),
// an existing file is replaced only after the user says so, and the outcome
// (the restored name and size, or what went wrong) is shown before the module ends.
//
// The dialog is laid out in memory rather than in a resource script: it is the module's only
// window, and this keeps the whole module in the C++ sources that the tests build.

#include "sfxwin/WinSfx.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

namespace {

constexpr int IdKey = 100;
constexpr int IdPrompt = 101;
constexpr wchar_t Title[] = L"Calyxor";

// Builds a DLGTEMPLATE with its items in the layout DialogBoxIndirectParam reads.
class TDialogTemplate {
public:
    TDialogTemplate(const std::wstring& title, short cx, short cy, int items) {
        Add<DWORD>(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        Add<DWORD>(0); // extended style
        Add<WORD>(static_cast<WORD>(items));
        Add<short>(0);
        Add<short>(0);
        Add<short>(cx);
        Add<short>(cy);
        Add<WORD>(0); // no menu
        Add<WORD>(0); // the standard dialog class
        AddText(title);
        Add<WORD>(8); // point size, then the face the system maps to its dialog font
        AddText(L"MS Shell Dlg");
    }

    // kind: 0x0080 button, 0x0081 edit, 0x0082 static.
    void Item(WORD kind, int id, DWORD style, short x, short y, short cx, short cy,
              const std::wstring& text) {
        Bytes.resize((Bytes.size() + 3) & ~std::size_t{3}); // items start on a DWORD
        Add<DWORD>(style | WS_CHILD | WS_VISIBLE);
        Add<DWORD>(0);
        Add<short>(x);
        Add<short>(y);
        Add<short>(cx);
        Add<short>(cy);
        Add<WORD>(static_cast<WORD>(id));
        Add<WORD>(0xFFFF);
        Add<WORD>(kind);
        AddText(text);
        Add<WORD>(0); // no creation data
    }

    // DWORD-aligned, as the template must be.
    [[nodiscard]] const DLGTEMPLATE* Get() {
        Aligned.assign((Bytes.size() + 3) / 4, 0);
        std::memcpy(Aligned.data(), Bytes.data(), Bytes.size());
        return reinterpret_cast<const DLGTEMPLATE*>(Aligned.data());
    }

private:
    template <class T> void Add(T value) {
        const auto* p = reinterpret_cast<const unsigned char*>(&value);
        Bytes.insert(Bytes.end(), p, p + sizeof value);
    }
    void AddText(const std::wstring& text) {
        for (wchar_t c : text)
            Add<WORD>(static_cast<WORD>(c));
        Add<WORD>(0);
    }
    std::vector<unsigned char> Bytes;
    std::vector<DWORD> Aligned;
};

struct TDialogState {
    TSelfFile* Self;
    std::wstring Target;
    int WrongKeys = 0;
    int Result = 1;
};

void ShowError(HWND owner, const std::string& text) {
    MessageBoxW(owner, Wide(text).c_str(), Title, MB_OK | MB_ICONERROR);
}

// Reads and clears the key box, so that the typed key does not stay in the window.
TSecretBytes TakeKey(HWND dlg) {
    const HWND box = GetDlgItem(dlg, IdKey);
    const int len = GetWindowTextLengthW(box);
    std::vector<wchar_t> typed(static_cast<std::size_t>(len) + 1);
    const int got = GetWindowTextW(box, typed.data(), len + 1);
    SetWindowTextW(box, L"");
    struct TWipe {
        std::vector<wchar_t>& Text;
        ~TWipe() { SecureWipe(Text.data(), Text.size() * sizeof(wchar_t)); }
    } wipe{typed};
    return KeyBytes(std::wstring_view(typed.data(), static_cast<std::size_t>(got)));
}

void OnOk(HWND dlg, TDialogState& st) {
    if (GetWindowTextLengthW(GetDlgItem(dlg, IdKey)) == 0) {
        MessageBoxW(dlg, Wide(Translated("Sfx", "Type the key first.")).c_str(), Title,
                    MB_OK | MB_ICONINFORMATION);
        return;
    }
    try {
        const TSecretBytes key = TakeKey(dlg);
        if (JudgeKey(*st.Self, key, st.Target) == TKeyVerdict::LooksWrong) {
            if (++st.WrongKeys < KeyTries) {
                ShowError(dlg, Translated("Sfx", "The key seems to be wrong: the restored file "
                                                 "would not look like a file.\n\nType it again."));
                SetFocus(GetDlgItem(dlg, IdKey));
                return;
            }
            ShowError(dlg, Translated("Sfx", "The key seems to be wrong: the restored file would "
                                             "not look like a file. Nothing was written."));
            EndDialog(dlg, IDCANCEL);
            return;
        }
        bool force = false;
        if (Exists(st.Target) && !IsFolder(st.Target)) {
            const std::wstring ask =
                Wide(Format(Translated("Sfx", "“%1” already exists in this folder.\n\nReplace it?"),
                            {Utf8(BaseName(st.Target))}));
            if (MessageBoxW(dlg, ask.c_str(), Title, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) !=
                IDYES)
                return;
            force = true;
        }
        const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        TOutputFile out(st.Target, force, *st.Self);
        Restore(*st.Self, key, out);
        SetCursor(before);
        const std::string done =
            Format(Translated("Sfx", "Restored “%1” (%2 bytes) in\n%3\n\nIf it does not open, "
                                     "the key was wrong: run this file again with the right key "
                                     "and replace it."),
                   {Utf8(BaseName(st.Target)), std::to_string(st.Self->PayloadSize()),
                    Utf8(DirName(st.Target))});
        MessageBoxW(dlg, Wide(done).c_str(), Title, MB_OK | MB_ICONINFORMATION);
        st.Result = 0;
        EndDialog(dlg, IDOK);
    } catch (const std::exception& e) {
        // The dialog stays, so that the key can be typed again or the run cancelled.
        ShowError(dlg, e.what());
        SetFocus(GetDlgItem(dlg, IdKey));
    }
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    auto* st = reinterpret_cast<TDialogState*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
        SendDlgItemMessageW(dlg, IdKey, EM_LIMITTEXT, 4096, 0);
        SetForegroundWindow(dlg);
        SetFocus(GetDlgItem(dlg, IdKey));
        return FALSE; // the focus has been set here
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK && st != nullptr) {
            OnOk(dlg, *st);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            SetDlgItemTextW(dlg, IdKey, L"");
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

int RunDialog() {
    // The manifest asks for the current controls, which are there once their library is in.
    InitCommonControls();
    try {
        TSelfFile self;
        TDialogState st{&self, DirName(self.Path) + L"\\" + RestoredName(self.Path)};
        const std::wstring prompt =
            Wide(Format(Translated("Sfx", "Key for “%1” (%2 bytes):"),
                        {Utf8(BaseName(st.Target)), std::to_string(self.PayloadSize())}));
        TDialogTemplate t(L"Calyxor: " + BaseName(st.Target), 230, 88, 5);
        t.Item(0x0082, IdPrompt, SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 7, 7, 216, 9, prompt);
        t.Item(0x0081, IdKey, ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 19, 216, 13,
               L"");
        t.Item(0x0082, -1, SS_LEFT | SS_NOPREFIX, 7, 38, 216, 20,
               Wide(Translated("Sfx", "The file is written beside this one. A key that would give "
                                      "what does not look like a file is asked for again.")));
        t.Item(0x0080, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 119, 66, 50, 14,
               Wide(Translated("Sfx", "OK")));
        t.Item(0x0080, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 173, 66, 50, 14,
               Wide(Translated("Sfx", "Cancel")));
        if (DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.Get(), nullptr, DialogProc,
                                    reinterpret_cast<LPARAM>(&st)) == -1)
            throw TSfxError(Format(Translated("Sfx", "cannot show its window: %1"),
                                   {ErrorText(GetLastError())}));
        return st.Result;
    } catch (const std::exception& e) {
        ShowError(nullptr, e.what());
        return 1;
    }
}

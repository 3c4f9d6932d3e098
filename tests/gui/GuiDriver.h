// Drives the installer from outside, the way a user or an accessibility tool sees it: starts
// the program, finds its windows by caption and process, reads controls by id and takes
// pixels from the screen.
#pragma once

#include "PixelPicture.h"

#include "framework/KernelHandle.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

std::wstring EnvText(const wchar_t* pszName, const std::wstring& fallback = std::wstring());

// Waits for a condition, pumping this thread's messages, until it holds or the deadline.
bool WaitFor(const std::function<bool()>& condition, DWORD nTimeoutMs);

class CProgram
{
public:
    CProgram() = default;
    ~CProgram(); // ends the program if it is still running
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    bool Start(const std::wstring& exePath, const std::wstring& arguments = std::wstring());
    DWORD Id() const { return m_nId; }
    bool IsRunning() const;
    // The exit code, or STILL_ACTIVE when it did not end within the time.
    DWORD WaitForExit(DWORD nTimeoutMs) const;
    void Terminate();

    // A visible top-level window of this program whose caption (or class) matches.
    HWND FindWindowByCaption(const std::wstring& caption, DWORD nTimeoutMs) const;
    HWND FindDialog(DWORD nTimeoutMs) const; // a visible window of the dialog class
    // The no-internet message: a visible dialog-class window holding the message text.
    HWND FindMessageDialog(DWORD nTimeoutMs) const;

private:
    HWND FindTopLevel(const std::function<bool(HWND)>& match, DWORD nTimeoutMs) const;

    KernelHandle m_process;
    DWORD m_nId = 0;
};

struct ControlInfo
{
    HWND hWnd = nullptr;
    RECT rc{}; // in the dialog's client coordinates
    std::wstring text;
    bool bVisible = false;
    LONG_PTR nStyle = 0;
    int Width() const { return rc.right - rc.left; }
    int Height() const { return rc.bottom - rc.top; }
};
ControlInfo ReadControl(HWND hDialog, int nId);
std::wstring WindowText(HWND hWnd);
SIZE ClientSize(HWND hWnd);
SIZE OuterSize(HWND hWnd);

// A window's client area as it is on the screen now.
class CScreenPixels : public CPixelPicture
{
public:
    explicit CScreenPixels(HWND hWnd);
};

// The client area once two captures in a row agree (a repaint may still be on its way), or the
// last capture at the deadline.
std::unique_ptr<CScreenPixels> SteadyPixels(HWND hWnd, DWORD nTimeoutMs);

// How a control's rectangle changed between two pictures of its window.
struct PixelChanges
{
    int nChanged = 0;
    int nNotTo = 0; // changed pixels that did not become the expected colour
};
PixelChanges ComparePixels(const CPixelPicture& before, const CPixelPicture& after, const RECT& rc,
                           COLORREF crTo);

// Synthesised key press and release (real input: the program's GetKeyState sees it).
void PressKey(HWND hTarget, WORD nVirtualKey);

// Expected texts from a translation file for a branch.
std::wstring LookUpWord(const std::wstring& translationPath, const std::wstring& language,
                        const std::wstring& key);

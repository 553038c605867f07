// The two ways the window tells the user something: a message box it owns, and the status line.
#include "app/app.h"
#include "forms/forms.h"

int ShowMessage(const std::wstring& text, const wchar_t* caption, UINT style)
{
    return MessageBoxW(MainWindow, text.c_str(), caption, style);
}

void SetStatusText(const std::wstring& text)
{
    SetWindowTextW(StatusText, text.c_str());
}

void ShowFailure(const std::wstring& caption, DWORD code)
{
    ShowMessage(caption + L"：\r\n" + SystemErrorText(code), caption.c_str(), MB_OK | MB_ICONERROR);
}

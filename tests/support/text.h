// Texts, paths and names the test programs build the same way.
#pragma once

#include <windows.h>

#include <string>

// UTF-8 to UTF-16 and back; checks compare UTF-8 so that a failure prints readably.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& text);

// The system's own text for an error code, as the product must show it; whenNone if the
// system has none.
std::wstring SystemText(DWORD code, const std::wstring& whenNone = L"未知错误");

// A path CMake gives the Unix way, as a Windows program under Wine reaches it (drive Z:).
std::wstring WindowsPath(const std::string& unixPath);

// "Suite.Test" of the running test, usable in a file name ("no-test" outside a test).
std::string CurrentTestName();

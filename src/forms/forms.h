// Printer form management: printers, catalogue, list, editor and changes.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "forms/paper_form.h"
#include "spooler/spooler.h"

// --- Printer list and printer access (printers.cpp) ---
void LoadPrinters();
std::wstring SelectedPrinterName();
// On success the caller owns *handle and closes it; on failure the user has been told.
bool OpenSelectedPrinter(HANDLE* handle, DWORD access);
int ShowMessage(const std::wstring& text, const wchar_t* caption, UINT style);
void SetStatusText(const std::wstring& text);

// --- Pure text helpers (text.cpp) ---
// Folds only A to Z onto a to z; every other code unit stays as it is.
std::wstring LowercaseCopy(const std::wstring& text);
// Same length and equal code units after A to Z folding.
bool NamesEqual(const std::wstring& a, const std::wstring& b);
// "%.1f" of thousandths / 1000, correctly rounded with ties to even, on any C runtime.
std::wstring FormatMillimetres(int32_t thousandths);
// Plain decimal digits; std::to_wstring would bring in the C runtime's whole printf.
std::wstring DecimalText(uint64_t value);
// "241.0 × 93.0 mm"
std::wstring FormatSizeText(int32_t width, int32_t height);
// "显示 N 项，共读取 M 个纸张规格。"
std::wstring FormatStatusSummary(size_t rows, size_t total);
// The standard wcstod in the "C" locale, independent of the C runtime's own:
// returns the value and sets *consumed to the code units converted (0: nothing).
double ParseLeadingNumber(const wchar_t* text, size_t* consumed);
// value × 1000 + 0.5, truncated toward zero.
int32_t MillimetresToThousandths(double millimetres);
// The editor's validation without a window: nullptr on success (sizes filled in),
// otherwise the one notice to show.
const wchar_t* ValidateEditorTexts(const std::wstring& name, const wchar_t* widthText,
                                   const wchar_t* heightText, int32_t* width, int32_t* height);

// --- Form catalogue (catalogue.cpp) ---
void LoadForms();

// --- Form list (form_list.cpp) ---
// The filter test of one form; needle is already lower-cased.
bool FormPassesFilter(const PaperForm& form, bool customOnly, const std::wstring& needle);
void RebuildFormList();

// --- Form editor (editor.cpp) ---
int SelectedFormIndex();
void ShowSelectedForm();
void UpdateEditButtons();
bool ReadEditorFields(std::wstring* name, int32_t* width, int32_t* height);
void ApplyPreset(int id);

// --- Default paper menu (default_paper.cpp) ---
// The context menu for the list row under screenPoint, or the selected row when it is (-1, -1).
void ShowFormMenu(LPARAM screenPoint);
// What shows the menu: TrackPopupMenu unless a test puts its recorder here.
extern BOOL(WINAPI* TrackMenuHook)(HMENU, UINT, int, int, int, HWND, const RECT*);

// --- Form changes (changes.cpp) ---
void AddCustomForm();
void ModifyCustomForm();
void DeleteCustomForm();

// Printer form management in the window: printers, catalogue, list, editor and changes, on the
// bottom layer, the spooler layer and the app's window globals.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/core.h"
#include "spooler/spooler.h"

// The selected printer's forms in the spooler's order; only LoadForms writes it.
extern std::vector<PaperForm> FormCatalogue;
// Catalogue position of the form shown in each list row; only RebuildFormList writes it.
extern std::vector<uint64_t> VisibleRows;

// --- Telling the user (feedback.cpp) ---
// A message box owned by the main window.
int ShowMessage(const std::wstring& text, const wchar_t* caption, UINT style);
void SetStatusText(const std::wstring& text);
// A failed call: "<caption>：" and the system's text for the code, error icon.
void ShowFailure(const std::wstring& caption, DWORD code);

// --- Printer list and printer access (printers.cpp) ---
void LoadPrinters();
std::wstring SelectedPrinterName();
// On success the caller owns *handle and closes it; on failure the user has been told.
bool OpenSelectedPrinter(HANDLE* handle, DWORD access);
// Tells the user why the printer could not be used: none chosen (empty name), or code.
void ReportPrinterUnavailable(const std::wstring& name, DWORD code);

// --- Form catalogue (catalogue.cpp) ---
void LoadForms();

// --- Form list (form_list.cpp) ---
// The filter test of one form; needle is already lower-cased.
bool FormPassesFilter(const PaperForm& form, bool customOnly, const std::wstring& needle);
void RebuildFormList();
// The catalogue position of the form a list row shows; -1 for no row, or a row that outlived
// the catalogue it came from (after a failed reload).
int CatalogueIndexOfRow(int row);

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

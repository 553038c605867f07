// One form as the spooler reports it, and the process-wide lists built from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PaperForm {
    std::wstring name;   // empty when the spooler gave no name
    int32_t width = 0;   // thousandths of a millimetre (Size.cx)
    int32_t height = 0;  // thousandths of a millimetre (Size.cy)
    uint32_t flags = 0;  // FORM_USER 0, FORM_BUILTIN 1, FORM_PRINTER 2
};

// The selected printer's forms in the spooler's order; only LoadForms writes it.
extern std::vector<PaperForm> FormCatalogue;
// Catalogue position of the form shown in each list row; only RebuildFormList writes it.
extern std::vector<uint64_t> VisibleRows;

// Built-in and printer-driver forms can be neither changed nor deleted.
inline bool IsProtectedForm(uint32_t flags) { return (flags & 3) != 0; }

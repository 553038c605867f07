// The form list: rows, the mapping back to the catalogue, and the status summary.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "forms/forms.h"

namespace {
const int SearchCapacity = 256; // units incl. NUL: the first 255 are used
}

bool FormPassesFilter(const PaperForm& form, bool customOnly, const std::wstring& needle)
{
    if (customOnly && IsProtectedForm(form.flags))
        return false;
    return needle.empty() || LowercaseCopy(form.name).find(needle) != std::wstring::npos;
}

void RebuildFormList()
{
    // The list repaints once when the rows are in, not after every insertion: a visible
    // list view under Wine otherwise takes seconds for a thousand rows.
    SendMessageW(FormList, WM_SETREDRAW, FALSE, 0);
    SendMessageW(FormList, LVM_DELETEALLITEMS, 0, 0);
    VisibleRows.clear();

    const bool customOnly = SendMessageW(CustomOnlyCheck, BM_GETCHECK, 0, 0) == BST_CHECKED;
    wchar_t search[SearchCapacity] = {};
    GetWindowTextW(SearchEdit, search, SearchCapacity);
    const std::wstring needle = LowercaseCopy(search);

    for (size_t i = 0; i < FormCatalogue.size(); ++i) {
        const PaperForm& form = FormCatalogue[i];
        if (!FormPassesFilter(form, customOnly, needle))
            continue;
        const int row = static_cast<int>(VisibleRows.size());
        VisibleRows.push_back(i);

        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = row;
        item.pszText = const_cast<wchar_t*>(form.name.c_str());
        item.lParam = static_cast<LPARAM>(i);
        SendMessageW(FormList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));

        std::wstring size = FormatSizeText(form.width, form.height);
        LVITEMW sizeItem = {};
        sizeItem.iSubItem = 1;
        sizeItem.pszText = &size[0];
        SendMessageW(FormList, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sizeItem));
    }
    SendMessageW(FormList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(FormList, nullptr, TRUE);

    SetStatusText(FormatStatusSummary(VisibleRows.size(), FormCatalogue.size()));
}

int CatalogueIndexOfRow(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= VisibleRows.size())
        return -1;
    const uint64_t index = VisibleRows[static_cast<size_t>(row)];
    if (index >= FormCatalogue.size())
        return -1;
    return static_cast<int>(index);
}

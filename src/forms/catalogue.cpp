// Reading the selected printer's form table into FormCatalogue.
#include "forms/forms.h"

std::vector<PaperForm> FormCatalogue;
std::vector<uint64_t> VisibleRows;

void LoadForms()
{
    FormCatalogue.clear();

    HANDLE printer = nullptr;
    if (!OpenSelectedPrinter(&printer, PRINTER_ACCESS_USE))
        return;

    DWORD needed = 0;
    DWORD returned = 0;
    EnumFormsW(printer, 1, nullptr, 0, &needed, &returned);
    DWORD code = GetLastError();
    // Some spoolers report an empty table with code 0 instead of a size and code 122.
    if (needed == 0 && code != ERROR_INSUFFICIENT_BUFFER && code != ERROR_SUCCESS) {
        ClosePrinter(printer);
        SetStatusText(L"读取纸张失败：" + SystemErrorText(code));
        return;
    }

    std::vector<BYTE> buffer(needed > 0 ? needed : 1);
    if (needed != 0) {
        if (!EnumFormsW(printer, 1, buffer.data(), needed, &needed, &returned)) {
            code = GetLastError();
            ClosePrinter(printer);
            SetStatusText(L"读取纸张失败：" + SystemErrorText(code));
            return;
        }
        const FORM_INFO_1W* forms = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
        FormCatalogue.reserve(returned);
        for (DWORD i = 0; i < returned; ++i) {
            PaperForm form;
            if (forms[i].pName)
                form.name = forms[i].pName;
            form.width = forms[i].Size.cx;
            form.height = forms[i].Size.cy;
            form.flags = forms[i].Flags;
            FormCatalogue.push_back(form);
        }
    }
    ClosePrinter(printer);
    RebuildFormList();
}

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
    const DWORD code = ReadForms(printer, &FormCatalogue);
    Spooler.ClosePrinter(printer);
    if (code != ERROR_SUCCESS) {
        SetStatusText(L"读取纸张失败：" + SystemErrorText(code));
        return;
    }
    RebuildFormList();
}

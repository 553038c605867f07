// Reading the selected printer's form table into FormCatalogue.
#include "forms/forms.h"

std::vector<PaperForm> FormCatalogue;
std::vector<uint64_t> VisibleRows;

void LoadForms()
{
    FormCatalogue.clear();

    const std::wstring printer = SelectedPrinterName();
    bool opened = false;
    const DWORD code = printer.empty() ? ERROR_INVALID_PRINTER_NAME : ReadPrinterForms(printer, &FormCatalogue, &opened);
    if (!opened) {
        ReportPrinterUnavailable(printer, code);
        return;
    }
    if (code != ERROR_SUCCESS) {
        SetStatusText(L"读取纸张失败：" + SystemErrorText(code));
        return;
    }
    RebuildFormList();
}

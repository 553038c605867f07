// The printer's default paper and the driver's paper list, read the way a browser reads
// them: the default DEVMODE's dmPaperSize, looked up among DeviceCapabilitiesW's papers.
#include "spooler/spooler.h"

#include <algorithm>
#include <cstring>

namespace {

const int PaperNameLength = 64;      // DC_PAPERNAMES entries, not always NUL-terminated
const int PaperListSlack = 64;       // entries beyond the count, for a list that grew meanwhile
const LONG SizeToleranceTenths = 1;  // "the same size": within 0.1 mm
const DWORD ThousandthsPerTenth = 100;

// One DeviceCapabilitiesW list: the count, then a fill into room for more than counted,
// since the driver's list may grow between the two calls and the call takes no size.
template <typename Entry>
DWORD ReadCapability(const std::wstring& printer, WORD capability, std::vector<Entry>* entries)
{
    entries->clear();
    SetLastError(ERROR_SUCCESS);
    const int count = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, capability, nullptr, nullptr);
    if (count < 0)
        return LastFailureCode();
    if (count == 0)
        return ERROR_SUCCESS;
    const size_t room = static_cast<size_t>(count) + PaperListSlack;
    entries->assign(room, Entry());
    const int filled = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, capability,
                                                   reinterpret_cast<LPWSTR>(entries->data()), nullptr);
    if (filled < 0)
        return LastFailureCode();
    entries->resize(static_cast<size_t>(filled) < room ? static_cast<size_t>(filled) : room);
    return ERROR_SUCCESS;
}

struct PaperName {
    wchar_t text[PaperNameLength];
};

// The three lists once; false when they do not line up (the list changed in between).
DWORD ReadPaperLists(const std::wstring& printer, std::vector<DriverPaper>* papers, bool* consistent)
{
    std::vector<WORD> ids;
    std::vector<PaperName> names;
    std::vector<POINT> sizes;
    DWORD code = ReadCapability(printer, DC_PAPERS, &ids);
    if (code == ERROR_SUCCESS)
        code = ReadCapability(printer, DC_PAPERNAMES, &names);
    if (code == ERROR_SUCCESS)
        code = ReadCapability(printer, DC_PAPERSIZE, &sizes);
    if (code != ERROR_SUCCESS)
        return code;
    *consistent = ids.size() == names.size() && ids.size() == sizes.size();
    const size_t count = std::min(ids.size(), std::min(names.size(), sizes.size()));
    for (size_t i = 0; i < count; ++i) {
        DriverPaper paper;
        paper.id = ids[i];
        size_t length = 0;
        while (length < PaperNameLength && names[i].text[length] != L'\0')
            ++length;
        paper.name.assign(names[i].text, length);
        paper.width = sizes[i].x;
        paper.height = sizes[i].y;
        papers->push_back(paper);
    }
    return ERROR_SUCCESS;
}

bool WithinTenth(int32_t thousandths, LONG tenths)
{
    const long long difference = static_cast<long long>(thousandths) - static_cast<long long>(tenths) * ThousandthsPerTenth;
    const long long tolerance = SizeToleranceTenths * ThousandthsPerTenth;
    return difference <= tolerance && difference >= -tolerance;
}

// The printer's default DEVMODE as DocumentPropertiesW hands it to any program. The buffer
// is at least a whole DEVMODEW, zero-filled, so every public field can be read.
DWORD ReadDefaultDevMode(HANDLE printer, const std::wstring& name, std::vector<BYTE>* devmode)
{
    std::wstring device(name);
    const LONG size = Spooler.DocumentPropertiesW(nullptr, printer, &device[0], nullptr, nullptr, 0);
    if (size <= 0)
        return LastFailureCode();
    devmode->assign(std::max<size_t>(static_cast<size_t>(size), sizeof(DEVMODEW)), 0);
    const LONG result = Spooler.DocumentPropertiesW(nullptr, printer, &device[0],
                                                    reinterpret_cast<DEVMODEW*>(devmode->data()), nullptr, DM_OUT_BUFFER);
    return result == IDOK ? ERROR_SUCCESS : LastFailureCode();
}

DWORD DevModeSize(const std::vector<BYTE>& devmode)
{
    const DEVMODEW* mode = reinterpret_cast<const DEVMODEW*>(devmode.data());
    return static_cast<DWORD>(mode->dmSize) + mode->dmDriverExtra;
}

// The whole change on one open printer; the code of a failed call is taken before closing.
DWORD StoreDefault(const std::wstring& printerName, const DriverPaper& paper, bool allUsers)
{
    HANDLE printer = nullptr;
    DWORD code = OpenPrinterFor(printerName, allUsers ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE, &printer);
    if (code != ERROR_SUCCESS)
        return code;

    std::vector<BYTE> current;
    code = ReadDefaultDevMode(printer, printerName, &current);
    std::vector<BYTE> merged(current.size(), 0);
    if (code == ERROR_SUCCESS && DevModeSize(current) > current.size())
        code = ERROR_INVALID_DATA; // a driver that claims more private bytes than it gave room for
    if (code == ERROR_SUCCESS) {
        DEVMODEW* mode = reinterpret_cast<DEVMODEW*>(current.data());
        mode->dmPaperSize = static_cast<short>(paper.id);
        std::memset(mode->dmFormName, 0, sizeof(mode->dmFormName));
        paper.name.copy(mode->dmFormName, CCHFORMNAME - 1);
        mode->dmFields |= DM_PAPERSIZE | DM_FORMNAME;
        mode->dmFields &= ~static_cast<DWORD>(DM_PAPERLENGTH | DM_PAPERWIDTH);
        std::wstring device(printerName);
        const LONG result = Spooler.DocumentPropertiesW(nullptr, printer, &device[0],
                                                        reinterpret_cast<DEVMODEW*>(merged.data()), mode,
                                                        DM_IN_BUFFER | DM_OUT_BUFFER);
        if (result != IDOK)
            code = LastFailureCode();
    }
    // A per-user default hides the global one, so "all users" sets both.
    if (code == ERROR_SUCCESS && allUsers) {
        PRINTER_INFO_8W global = {reinterpret_cast<DEVMODEW*>(merged.data())};
        if (!Spooler.SetPrinterW(printer, 8, reinterpret_cast<BYTE*>(&global), 0))
            code = LastFailureCode();
    }
    if (code == ERROR_SUCCESS) {
        PRINTER_INFO_9W user = {reinterpret_cast<DEVMODEW*>(merged.data())};
        if (!Spooler.SetPrinterW(printer, 9, reinterpret_cast<BYTE*>(&user), 0))
            code = LastFailureCode();
    }
    Spooler.ClosePrinter(printer);
    return code;
}

} // namespace

DWORD ReadDriverPapers(const std::wstring& printer, std::vector<DriverPaper>* papers)
{
    papers->clear();
    bool consistent = false;
    DWORD code = ReadPaperLists(printer, papers, &consistent);
    if (code == ERROR_SUCCESS && !consistent) {
        // The list changed while it was read: once more, from the start.
        papers->clear();
        code = ReadPaperLists(printer, papers, &consistent);
    }
    if (code == ERROR_SUCCESS && !consistent) {
        papers->clear();
        return ERROR_INVALID_DATA;
    }
    return code;
}

int FindDriverPaper(const std::vector<DriverPaper>& papers, const PaperForm& form)
{
    for (size_t i = 0; i < papers.size(); ++i)
        if (NamesEqual(papers[i].name, form.name))
            return static_cast<int>(i);
    for (size_t i = 0; i < papers.size(); ++i)
        if (WithinTenth(form.width, papers[i].width) && WithinTenth(form.height, papers[i].height))
            return static_cast<int>(i);
    return -1;
}

DWORD ReadDefaultPaper(const std::wstring& printerName, std::wstring* name, WORD* id)
{
    name->clear();
    *id = 0;
    HANDLE printer = nullptr;
    DWORD code = OpenPrinterFor(printerName, PRINTER_ACCESS_USE, &printer);
    if (code != ERROR_SUCCESS)
        return code;
    std::vector<BYTE> devmode;
    code = ReadDefaultDevMode(printer, printerName, &devmode);
    Spooler.ClosePrinter(printer);
    if (code != ERROR_SUCCESS)
        return code;
    *id = static_cast<WORD>(reinterpret_cast<const DEVMODEW*>(devmode.data())->dmPaperSize);

    std::vector<DriverPaper> papers;
    code = ReadDriverPapers(printerName, &papers);
    if (code != ERROR_SUCCESS)
        return code;
    for (const DriverPaper& paper : papers) {
        if (paper.id == *id) {
            *name = paper.name;
            break;
        }
    }
    return ERROR_SUCCESS;
}

DWORD CheckDriverPaper(const std::wstring& printer, const PaperForm& form, PaperCheck* check)
{
    *check = PaperCheck();
    std::vector<DriverPaper> papers;
    const DWORD code = ReadDriverPapers(printer, &papers);
    if (code != ERROR_SUCCESS)
        return code;
    const int at = FindDriverPaper(papers, form);
    if (at >= 0) {
        check->offered = true;
        check->paper = papers[static_cast<size_t>(at)];
    }
    SetLastError(ERROR_SUCCESS);
    const int minimum = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, DC_MINEXTENT, nullptr, nullptr);
    const int maximum = Spooler.DeviceCapabilitiesW(printer.c_str(), nullptr, DC_MAXEXTENT, nullptr, nullptr);
    if (minimum > 0 && maximum > 0) {
        check->rangeKnown = true;
        check->minWidth = LOWORD(minimum);
        check->minHeight = HIWORD(minimum);
        check->maxWidth = LOWORD(maximum);
        check->maxHeight = HIWORD(maximum);
    }
    return ERROR_SUCCESS;
}

PaperOutcome SetDefaultPaper(const std::wstring& printer, const PaperForm& form, bool allUsers, DWORD* code,
                             std::wstring* text)
{
    text->clear();
    std::vector<DriverPaper> papers;
    *code = ReadDriverPapers(printer, &papers);
    if (*code != ERROR_SUCCESS)
        return PaperOutcome::Failed;
    const int at = FindDriverPaper(papers, form);
    if (at < 0) {
        PaperCheck check;
        CheckDriverPaper(printer, form, &check);
        *text = DefaultPaperNotOfferedText(printer, form, check);
        return PaperOutcome::NotOffered;
    }
    const DriverPaper& paper = papers[static_cast<size_t>(at)];

    *code = StoreDefault(printer, paper, allUsers);
    if (*code != ERROR_SUCCESS)
        return PaperOutcome::Failed;

    // Success only when a browser would now start on the form.
    std::wstring current;
    WORD id = 0;
    *code = ReadDefaultPaper(printer, &current, &id);
    if (*code != ERROR_SUCCESS)
        return PaperOutcome::Failed;
    if (id != paper.id) {
        *text = DefaultPaperRefusedText(current);
        return PaperOutcome::NotAccepted;
    }
    const std::wstring account = ProcessAccountName();
    *text = DefaultPaperSetText(printer, form.name, allUsers, account, RunsAsAnotherAccount());
    return PaperOutcome::Done;
}

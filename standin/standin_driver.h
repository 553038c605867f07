// The stand-in printer driver: which of the server's forms a printer's driver offers,
// the ids it gives them, and the DEVMODE records it hands out. No files, no handles.
#pragma once

#include "standin_state.h"

namespace standin {

// A driver's paper range in tenths of a millimetre, as DC_MINEXTENT and DC_MAXEXTENT give it.
struct Extent {
    LONG minWidth, minLength, maxWidth, maxLength;
};
// For a printer whose state line names no range: every size DC_MAXEXTENT can express.
const Extent kDefaultExtent = {1, 1, 32767, 32767};
Extent DriverExtent(const Printer& printer);

struct Paper {
    short id = 0;
    std::wstring name;
    LONG cx = 0, cy = 0;  // thousandths of a millimetre, as in the form table
};

// The named forms of the table with the ids drivers give them: a standard form its
// DMPAPER_ number, every other form DMPAPER_USER and up in table order.
std::vector<Paper> TablePapers(const State& state);
bool Fits(const Extent& extent, LONG cx, LONG cy);
// The papers the printer's driver lists (DC_PAPERS and its kin), in table order.
std::vector<Paper> DriverPapers(const State& state, const Printer& printer);

// The form named (A to Z folded), else the id, among the listed papers; null if neither.
const Paper* ResolvePaper(const std::vector<Paper>& papers, short id, const std::wstring& name);
// A4 when the driver lists it, else its first paper, else A4 regardless.
Paper DefaultPaper(const std::vector<Paper>& papers);
// What DocumentPropertiesW starts from: the caller's own default, else the printer's,
// else the driver's, each resolved against the papers listed now.
Paper CurrentPaper(const std::vector<Paper>& papers, const Printer& printer);

// Private bytes after the public DEVMODE, as every real driver has.
const WORD kDriverExtra = 64;
const DWORD kDevModeFields = DM_ORIENTATION | DM_COPIES | DM_PRINTQUALITY | DM_YRESOLUTION | DM_DUPLEX;
// The driver's full DEVMODE (public part and private bytes) for this paper; an id of 0
// or an empty name leaves DM_PAPERSIZE or DM_FORMNAME out. Orientation, duplex and copies
// come from look, the driver's own (portrait, simplex, one) where it has none.
std::vector<BYTE> MakeDevMode(const std::wstring& device, short id, const std::wstring& form,
                              const PaperSetting& look = PaperSetting());
// A record handed in: readable over dmSize + dmDriverExtra bytes, dmSize within the
// public part and covering every field the stand-in reads, dmFormName terminated.
DWORD CheckDevMode(const DEVMODEW* devMode);
// Its paper and settings as the spooler stores them (checked records only).
PaperSetting PaperOf(const DEVMODEW* devMode);
// The settings DocumentPropertiesW starts from: the caller's own, else the printer's.
PaperSetting CurrentLook(const Printer& printer);
// The DM_IN_BUFFER merge of the other settings: each one the record carries replaces the current.
PaperSetting MergeLook(const PaperSetting& current, const DEVMODEW* in);
// The DM_IN_BUFFER merge of drivers: dmFormName names a listed form, else dmPaperSize is
// a listed id, else the current paper stays.
Paper MergePaper(const std::vector<Paper>& papers, const Paper& current, const DEVMODEW* in);

}  // namespace standin

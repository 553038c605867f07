// The paper sizes every Windows print server lists as FORM_BUILTIN, in its order.
#include "standin_state.h"

namespace standin {

namespace {
struct BuiltinSize {
    const wchar_t* name;
    LONG cx;
    LONG cy;
};

// Thousandths of a millimetre; the imageable area is the whole sheet.
const BuiltinSize kBuiltins[] = {
    {L"Letter", 215900, 279400},
    {L"Letter Small", 215900, 279400},
    {L"Tabloid", 279400, 431800},
    {L"Ledger", 431800, 279400},
    {L"Legal", 215900, 355600},
    {L"Statement", 139700, 215900},
    {L"Executive", 184150, 266700},
    {L"A3", 297000, 420000},
    {L"A4", 210000, 297000},
    {L"A4 Small", 210000, 297000},
    {L"A5", 148000, 210000},
    {L"B4 (JIS)", 257000, 364000},
    {L"B5 (JIS)", 182000, 257000},
    {L"Folio", 215900, 330200},
    {L"Quarto", 215000, 275000},
    {L"10x14", 254000, 355600},
    {L"11x17", 279400, 431800},
    {L"Note", 215900, 279400},
    {L"Envelope #9", 98425, 225425},
    {L"Envelope #10", 104775, 241300},
    {L"Envelope #11", 114300, 263525},
    {L"Envelope #12", 120650, 279400},
    {L"Envelope #14", 127000, 292100},
    {L"C size sheet", 431800, 558800},
    {L"D size sheet", 558800, 863600},
    {L"E size sheet", 863600, 1117600},
    {L"Envelope DL", 110000, 220000},
    {L"Envelope C5", 162000, 229000},
    {L"Envelope C3", 324000, 458000},
    {L"Envelope C4", 229000, 324000},
    {L"Envelope C6", 114000, 162000},
    {L"Envelope C65", 114000, 229000},
    {L"Envelope B4", 250000, 353000},
    {L"Envelope B5", 176000, 250000},
    {L"Envelope B6", 176000, 125000},
    {L"Envelope", 110000, 230000},
    {L"Envelope Monarch", 98425, 190500},
    {L"6 3/4 Envelope", 92075, 165100},
    {L"US Std Fanfold", 377825, 279400},
    {L"German Std Fanfold", 215900, 304800},
    {L"German Legal Fanfold", 215900, 330200},
    {L"B4 (ISO)", 250000, 353000},
    {L"Japanese Postcard", 100000, 148000},
    {L"9x11", 228600, 279400},
    {L"10x11", 254000, 279400},
    {L"15x11", 381000, 279400},
    {L"Envelope Invite", 220000, 220000},
    {L"Letter Extra", 241300, 304800},
    {L"Legal Extra", 241300, 381000},
    {L"Tabloid Extra", 304800, 457200},
    {L"A4 Extra", 235458, 322326},
    {L"Letter Transverse", 215900, 279400},
    {L"A4 Transverse", 210000, 297000},
    {L"Letter Extra Transverse", 241300, 304800},
    {L"Super A", 227000, 356000},
    {L"Super B", 305000, 487000},
    {L"Letter Plus", 215900, 322326},
    {L"A4 Plus", 210000, 330000},
    {L"A5 Transverse", 148000, 210000},
    {L"B5 (JIS) Transverse", 182000, 257000},
    {L"A3 Extra", 322000, 445000},
    {L"A5 Extra", 174000, 235000},
    {L"B5 (ISO) Extra", 201000, 276000},
    {L"A2", 420000, 594000},
    {L"A3 Transverse", 297000, 420000},
    {L"A3 Extra Transverse", 322000, 445000},
    {L"Japanese Double Postcard", 200000, 148000},
    {L"A6", 105000, 148000},
    {L"Japanese Envelope Kaku #2", 240000, 332000},
    {L"Japanese Envelope Kaku #3", 216000, 277000},
    {L"Japanese Envelope Chou #3", 120000, 235000},
    {L"Japanese Envelope Chou #4", 90000, 205000},
    {L"Letter Rotated", 279400, 215900},
    {L"A3 Rotated", 420000, 297000},
    {L"A4 Rotated", 297000, 210000},
    {L"A5 Rotated", 210000, 148000},
    {L"B4 (JIS) Rotated", 364000, 257000},
    {L"B5 (JIS) Rotated", 257000, 182000},
    {L"Japanese Postcard Rotated", 148000, 100000},
    {L"Double Japan Postcard Rotated", 148000, 200000},
    {L"A6 Rotated", 148000, 105000},
    {L"Japan Envelope Kaku #2 Rotated", 332000, 240000},
    {L"Japan Envelope Kaku #3 Rotated", 277000, 216000},
    {L"Japan Envelope Chou #3 Rotated", 235000, 120000},
    {L"Japan Envelope Chou #4 Rotated", 205000, 90000},
    {L"B6 (JIS)", 128000, 182000},
    {L"B6 (JIS) Rotated", 182000, 128000},
    {L"12x11", 304932, 279521},
    {L"Japan Envelope You #4", 105000, 235000},
    {L"Japan Envelope You #4 Rotated", 235000, 105000},
    {L"PRC 16K", 188000, 260000},
    {L"PRC 32K", 130000, 184000},
    {L"PRC 32K(Big)", 140000, 203000},
    {L"PRC Envelope #1", 102000, 165000},
    {L"PRC Envelope #2", 102000, 176000},
    {L"PRC Envelope #3", 125000, 176000},
    {L"PRC Envelope #4", 110000, 208000},
    {L"PRC Envelope #5", 110000, 220000},
    {L"PRC Envelope #6", 120000, 230000},
    {L"PRC Envelope #7", 160000, 230000},
    {L"PRC Envelope #8", 120000, 309000},
    {L"PRC Envelope #9", 229000, 324000},
    {L"PRC Envelope #10", 324000, 458000},
    {L"PRC 16K Rotated", 260000, 188000},
    {L"PRC 32K Rotated", 184000, 130000},
    {L"PRC 32K(Big) Rotated", 203000, 140000},
    {L"PRC Envelope #1 Rotated", 165000, 102000},
    {L"PRC Envelope #2 Rotated", 176000, 102000},
    {L"PRC Envelope #3 Rotated", 176000, 125000},
    {L"PRC Envelope #4 Rotated", 208000, 110000},
    {L"PRC Envelope #5 Rotated", 220000, 110000},
    {L"PRC Envelope #6 Rotated", 230000, 120000},
    {L"PRC Envelope #7 Rotated", 230000, 160000},
    {L"PRC Envelope #8 Rotated", 309000, 120000},
    {L"PRC Envelope #9 Rotated", 324000, 229000},
    {L"PRC Envelope #10 Rotated", 458000, 324000},
};
}  // namespace

const std::vector<Form>& StandardForms() {
    static const std::vector<Form> forms = [] {
        std::vector<Form> list;
        for (const BuiltinSize& b : kBuiltins) {
            Form f;
            f.hasName = true;
            f.name = b.name;
            f.flags = FORM_BUILTIN;
            f.cx = b.cx;
            f.cy = b.cy;
            f.right = b.cx;
            f.bottom = b.cy;
            list.push_back(f);
        }
        return list;
    }();
    return forms;
}

short StandardPaperId(size_t index) {
    const size_t place = index + 1;
    return static_cast<short>(place < DMPAPER_RESERVED_48 ? place : place + 2);
}

}  // namespace standin

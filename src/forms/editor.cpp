// The form editor: the selection into the fields, the button state, reading the fields, presets.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "forms/forms.h"

namespace {

const int NameCapacity = 128; // units incl. NUL: longer text is cut before it is examined
const int SizeCapacity = 64;

struct Preset {
    int id;
    const wchar_t* name;
    const wchar_t* width;
    const wchar_t* height;
};

const Preset Presets[] = {
    {IDC_PRESET_HALF, L"二等分多联纸", L"241", L"140"},
    {IDC_PRESET_THIRD, L"三等分多联纸", L"241", L"93"},
    {IDC_PRESET_101, L"Zeltra 241x101.6mm", L"241", L"101.6"},
    {IDC_PRESET_127, L"Zeltra 241x127mm", L"241", L"127"},
};

} // namespace

int SelectedFormIndex()
{
    return CatalogueIndexOfRow(
        static_cast<int>(SendMessageW(FormList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
}

void ShowSelectedForm()
{
    const int index = SelectedFormIndex();
    if (index < 0)
        return;
    const PaperForm& form = FormCatalogue[static_cast<size_t>(index)];
    SetWindowTextW(NameEdit, form.name.c_str());
    SetWindowTextW(WidthEdit, FormatMillimetres(form.width).c_str());
    SetWindowTextW(HeightEdit, FormatMillimetres(form.height).c_str());
}

void UpdateEditButtons()
{
    const int index = SelectedFormIndex();
    const bool enable = index >= 0 && !IsProtectedForm(FormCatalogue[static_cast<size_t>(index)].flags);
    EnableWindow(ModifyButton, enable);
    EnableWindow(DeleteButton, enable);
}

bool ReadEditorFields(std::wstring* name, int32_t* width, int32_t* height)
{
    wchar_t nameText[NameCapacity] = {};
    wchar_t widthText[SizeCapacity] = {};
    wchar_t heightText[SizeCapacity] = {};
    GetWindowTextW(NameEdit, nameText, NameCapacity);
    GetWindowTextW(WidthEdit, widthText, SizeCapacity);
    GetWindowTextW(HeightEdit, heightText, SizeCapacity);

    *name = nameText;
    const wchar_t* notice = ValidateEditorTexts(*name, widthText, heightText, width, height);
    if (notice) {
        ShowMessage(notice, AppTitle, MB_OK | MB_ICONINFORMATION);
        return false;
    }
    return true;
}

void ApplyPreset(int id)
{
    for (const Preset& preset : Presets) {
        if (preset.id != id)
            continue;
        SetWindowTextW(NameEdit, preset.name);
        SetWindowTextW(WidthEdit, preset.width);
        SetWindowTextW(HeightEdit, preset.height);
        return;
    }
}

// The rules on forms that the window and the command line apply alike.
#include "core/core.h"

namespace {

const wchar_t NameMissing[] = L"请输入纸张名称。";
const wchar_t NameTooLong[] = L"纸张名称不能超过 31 个字符。";
const wchar_t SizeInvalid[] = L"宽度和高度请输入 10～2000 mm 之间的数字。";
const wchar_t ProtectedFromSet[] = L"系统内置或打印机纸型受保护，不能修改。";
const wchar_t ProtectedFromDelete[] = L"系统内置或打印机纸型受保护，不能删除。";

const size_t MaxNameLength = 31; // longest accepted form name, in UTF-16 code units
const double MinMillimetres = 10.0;
const double MaxMillimetres = 2000.0;

} // namespace

const wchar_t* FormChangeAction(FormChange change)
{
    return change == FormChange::Add ? L"添加" : change == FormChange::Set ? L"修改" : L"删除";
}

const wchar_t* ProtectedFormNotice(const PaperForm& form, FormChange change)
{
    if (!IsProtectedForm(form.flags) || change == FormChange::Add)
        return nullptr;
    return change == FormChange::Set ? ProtectedFromSet : ProtectedFromDelete;
}

std::wstring LowercaseCopy(const std::wstring& text)
{
    std::wstring copy(text);
    for (wchar_t& c : copy)
        c = FoldAsciiUpper(c);
    return copy;
}

bool NamesEqual(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiUpper(a[i]) != FoldAsciiUpper(b[i]))
            return false;
    }
    return true;
}

int FindFormByName(const std::vector<PaperForm>& forms, const std::wstring& name)
{
    for (size_t i = 0; i < forms.size(); ++i)
        if (NamesEqual(forms[i].name, name))
            return static_cast<int>(i);
    return -1;
}

const wchar_t* ValidateEditorTexts(const std::wstring& name, const wchar_t* widthText,
                                   const wchar_t* heightText, int32_t* width, int32_t* height)
{
    if (name.empty())
        return NameMissing;
    if (name.size() > MaxNameLength)
        return NameTooLong;

    size_t widthConsumed = 0;
    size_t heightConsumed = 0;
    const double widthValue = ParseLeadingNumber(widthText, &widthConsumed);
    const double heightValue = ParseLeadingNumber(heightText, &heightConsumed);
    if (widthConsumed == 0 || heightConsumed == 0)
        return SizeInvalid;
    // Written so that NaN fails every comparison and is refused too.
    const bool widthInRange = widthValue >= MinMillimetres && widthValue <= MaxMillimetres;
    const bool heightInRange = heightValue >= MinMillimetres && heightValue <= MaxMillimetres;
    if (!widthInRange || !heightInRange)
        return SizeInvalid;

    *width = MillimetresToThousandths(widthValue);
    *height = MillimetresToThousandths(heightValue);
    return nullptr;
}

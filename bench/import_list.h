// The forms the import benchmark adds. The file zeltra-forms.exe imports and the floor
// program's records are both made from this one list, so both add the same forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ListedForm {
    std::wstring name;
    int32_t width = 0; // micrometres
    int32_t height = 0;
};

// n forms named as an office would name them, with sizes to a tenth of a millimetre.
inline std::vector<ListedForm> ImportList(size_t n)
{
    std::vector<ListedForm> forms(n);
    for (size_t i = 0; i < n; ++i) {
        std::wstring number = std::to_wstring(i);
        forms[i].name = L"单据 " + std::wstring(number.size() < 4 ? 4 - number.size() : 0, L'0') + number;
        forms[i].width = static_cast<int32_t>(210000 + (i % 50) * 1000);
        forms[i].height = static_cast<int32_t>(93000 + (i % 100) * 100);
    }
    return forms;
}

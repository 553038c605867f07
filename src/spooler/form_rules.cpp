// Rules on the form table that the GUI and the command line apply alike.
#include "spooler/spooler.h"

#include "forms/forms.h"

int FindFormByName(const std::vector<PaperForm>& forms, const std::wstring& name)
{
    for (size_t i = 0; i < forms.size(); ++i)
        if (NamesEqual(forms[i].name, name))
            return static_cast<int>(i);
    return -1;
}

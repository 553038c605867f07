// Process entry: everything else lives in the core library so tests can drive it.
#include "app/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    return RunZeltraPaper(instance, showCommand);
}

// This thread's message queue, for programs that wait on windows without sleeping.
#pragma once

#include <windows.h>

#include <functional>

// Dispatches everything queued for this thread now.
void PumpPending();
// Pumps messages until condition() holds or timeoutMs passes; false on timeout.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

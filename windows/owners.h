#pragma once
// The kinds of handle the Windows code owns, each with the call that
// releases it.

#include <windows.h>

#include "base/unique_handle.h"

class HandleStream;
void ReleaseStream(HandleStream* stream);  // drops one reference

// Held only once opened: CreateFileW's failure value is never stored.
using UniqueFileHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueLocalMemory = UniqueHandle<HLOCAL, LocalFree>;
using UniqueStreamReference = UniqueHandle<HandleStream*, ReleaseStream>;

#pragma once
// The platform's loader for dynamic libraries, as the host uses it.

#include <string>

using AnyFunction = void (*)();

// Null when the file cannot be loaded; error then says why.
void* OpenModule(const std::string& path, std::string& error);
AnyFunction FindFunction(void* module, const char* name);
void CloseModule(void* module);

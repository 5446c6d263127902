#pragma once
// Loading shared modules and looking up their symbols (dlopen/dlsym).
//
// A module handle follows the convention the client loader was written for: a value of
// 32 or more is a loaded module, anything below is not. `ModuleNotLoaded` (31) is the value a
// holder keeps while nothing is loaded; a failed LoadModule returns 0. The text of the last
// failure on the calling thread is kept for the loader's message and trace.
#include <cstdint>
#include <string>

namespace quorvel::platform {

using ModuleHandle = std::uintptr_t;

inline constexpr ModuleHandle ModuleNotLoaded = 31;

// True when the handle value says "loaded" (32 or more).
constexpr bool IsModuleLoaded(ModuleHandle handle) noexcept { return handle >= 32; }

// Loads the module at path (relative paths are relative to the current directory). A bare
// file name without "/" is first looked for in the directories of the current value of the
// library search path variable (see ClientFiles.h), because the dynamic linker only reads that
// variable at program start; when it is not found there the dynamic linker's own search is used.
// Returns 0 on failure, and LastModuleError() then tells why.
ModuleHandle LoadModule(const std::string& path);

// Releases a handle from LoadModule. Not-loaded handles are ignored (false).
bool FreeModule(ModuleHandle handle);

// The address of an exported symbol, or nullptr when the module has no such symbol or the
// handle is not loaded.
void* ModuleSymbol(ModuleHandle handle, const std::string& name);

// The failure text of the last LoadModule/ModuleSymbol on this thread (empty after a success).
std::string LastModuleError();

// The file a loaded module was loaded from (empty when unknown).
std::string ModuleFileName(ModuleHandle handle);

} // namespace quorvel::platform

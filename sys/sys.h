// The small system layer: the few operating-system facilities the program needs,
// behind one header so nothing platform-specific leaks into the rest of the tree.
// Every function here may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace sys {

// Directory of the running program file with its trailing separator ("/" here).
// Native path (UTF-8 on Linux). Computed once and cached.
const std::string& exeDir();

// Identifier of the calling thread as the kernel knows it.
std::uint64_t currentThreadId();

// Milliseconds from an arbitrary fixed point, monotonic.
std::uint64_t tickCount();

void sleepMs(std::uint32_t milliseconds);

// Removes a file by native path; true when it is gone afterwards.
bool deleteFile(const std::string& nativePath);

// Creates a directory (one level) when missing; true when it exists afterwards.
bool ensureDirectory(const std::string& nativePath);

bool fileExists(const std::string& nativePath);

}  // namespace sys

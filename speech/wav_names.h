// Names of the WAV files the worker writes. Pure; any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace speech {

// "<directory><yyyymmddhhmmss>-<threadId>.wav" from the local time; when
// `taken` says that path is in use (two texts in the same second), a counter
// goes before the extension: "-2.wav", "-3.wav", and so on.
std::string wavFilePath(const std::string& directory, const std::tm& localTime, std::uint64_t threadId,
                        const std::function<bool(const std::string&)>& taken);

}  // namespace speech

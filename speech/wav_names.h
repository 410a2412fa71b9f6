// Names of the WAV files the worker writes. Pure; any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string_view>

namespace speech {

// "<directory>/<yyyymmddhhmmss>-<threadId>.wav" from the local time; when
// `taken` says that path is in use (two texts in the same second), a counter
// goes before the extension: "-2.wav", "-3.wav", and so on. The directory is
// a native path and stays one: nothing of it passes through GBK.
std::filesystem::path wavFilePath(const std::filesystem::path& directory, const std::tm& localTime,
                                  std::uint64_t threadId,
                                  const std::function<bool(const std::filesystem::path&)>& taken);

// True for a file name that wavFilePath can produce.
bool isSpeechFileName(std::string_view name);

// Deletes the files of speech that a killed run left in `directory` (only
// those whose names wavFilePath could have made). Returns how many went.
std::size_t removeStaleSpeechFiles(const std::filesystem::path& directory);

}  // namespace speech

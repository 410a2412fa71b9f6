// Turning one text into a WAV file through the speech SDK, and the session
// parameter string that picks the voice and speed.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "sdk/tts/speech_sdk.h"

namespace speech {

// The login parameter text handed to the SDK once per run.
inline constexpr const char* kSdkLoginParams = "appid = 7c3e9a21, work_dir = .";

// The SDK's voice name for an entry of the dialog's voice list; the first
// voice for anything outside 0..15 (no selection included).
const char* voiceNameForIndex(int voiceIndex);

// The session parameter string for a voice list entry and a speed (1..100,
// written as given). Pure; any thread.
std::string buildSessionParams(int voiceIndex, int speed);

inline constexpr int kNothingSpoken = -2;

using SleepFunction = std::function<void(std::uint32_t milliseconds)>;

// Synthesises `text` (GBK) with `params` into a 16-bit mono 16 kHz WAV file
// at `path` (a native path: only the text is GBK). Polls the SDK
// every 50 ms through `sleep` until all audio has arrived.
//
// Returns 0 when the file was written completely; kNothingSpoken when the
// text holds nothing to say (only symbols: no audio at all); -1 when text or
// path is empty or the file cannot be created or written, or when `stop`
// turned true (the session is then ended at the next poll, which aborts the
// synthesis); otherwise the SDK's error code (or session end's non-zero
// result). On any non-zero result the file is deleted. Blocks for the whole
// synthesis; the calling thread owns the SDK session for that time.
int synthesizeToWav(tts::SpeechSdk& sdk, const std::string& text, const std::filesystem::path& path,
                    const std::string& params, const SleepFunction& sleep,
                    const std::atomic<bool>* stop = nullptr);
int synthesizeToWav(tts::SpeechSdk& sdk, const std::string& text, const std::filesystem::path& path,
                    const std::string& params, const std::atomic<bool>* stop = nullptr);

}  // namespace speech

#include "app/session_settings.h"

namespace app {

SessionSettings sessionSettings(const Settings& settings, int voiceIndex) {
    SessionSettings out;
    out.speech.queueLimit = settings.cacheCount;
    out.speech.durationLimit = static_cast<double>(settings.speechSeconds);
    out.speech.voiceIndex = voiceIndex;
    out.speech.speed = settings.speed;
    out.speech.volume = settings.volume;
    out.speech.engineCommand = settings.engineCommand;
    out.speech.engineRawText = settings.engineRawText;
    out.speech.viewerCooldown = settings.viewerCooldown;
    out.speech.maxWait = settings.maxWait;

    out.switches.speakChat = settings.speakChat;
    out.switches.speakGifts = settings.speakGifts;
    out.switches.speakWelcome = settings.speakWelcome;
    out.switches.speakNickname = settings.speakNickname;
    out.switches.minChatLength = settings.minChatLength;
    out.switches.maxChatLength = settings.maxChatLength;
    out.switches.filterNames = settings.filterNames;
    out.switches.foldRepeats = settings.foldRepeats;
    out.switches.speakFollows = settings.speakFollows;
    out.switches.speakShares = settings.speakShares;
    out.switches.speakLikes = settings.speakLikes;
    return out;
}

}  // namespace app

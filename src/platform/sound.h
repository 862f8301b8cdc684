// Sound as the game sees it: play a named WAV file now, without waiting,
// replacing whatever is still playing. The front end installs the implementation.
#pragma once

namespace platform {

class Sound {
public:
    virtual ~Sound() = default;
    virtual void play(const char* fileName) = 0;
};

// The installed sound service; with none installed playing does nothing.
void setSound(Sound* sound);
void playSound(const char* fileName);

}  // namespace platform

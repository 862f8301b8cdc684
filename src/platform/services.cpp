// The installed keyboard and sound services.
#include "keyboard.h"
#include "sound.h"

namespace platform {
namespace {
Keyboard* installedKeyboard = nullptr;
Sound* installedSound = nullptr;
}  // namespace

void setKeyboard(Keyboard* keyboard) { installedKeyboard = keyboard; }
bool keyPressedSinceLastQuery(int virtualKey) {
    return installedKeyboard && installedKeyboard->pressedSinceLastQuery(virtualKey);
}
void setSound(Sound* sound) { installedSound = sound; }
void playSound(const char* fileName) {
    if (installedSound) installedSound->play(fileName);
}
}  // namespace platform

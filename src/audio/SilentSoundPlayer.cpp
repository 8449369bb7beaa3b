// Builds without OpenAL: the rules' sound hooks stay unset and the game is silent.
#include "SoundPlayer.h"

#include "Controls.h"
#include "GameRules.h"
#include "Settings.h"

void connectSound(GameHooks& /*hooks*/)
{
    soundEnabled = settings.sound;
}

void restartSound() {}

void suspendSound(bool /*suspended*/) {}

void closeSound() {}

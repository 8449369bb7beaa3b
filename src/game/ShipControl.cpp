#include "ShipControl.h"

#include <algorithm>
#include <cmath>

#include <glm/common.hpp>

namespace {

constexpr int leftXAxis = 0, leftYAxis = 1, leftTriggerAxis = 4, rightTriggerAxis = 5;
constexpr int leftShoulderButton = 4, rightShoulderButton = 5, startButton = 7;

constexpr float stickDeadZone = 0.2f;   // of full deflection: a resting stick reads up to ~0.1
constexpr float triggerDeadZone = 0.1f; // of full travel

// -1, 0 or 1 from a pair of opposing keys; GLFW's codes for letters are their ASCII capitals.
float keyAxis(const bool* keys, char plus, char minus)
{
    return (keys[static_cast<unsigned char>(plus)] ? 1.0f : 0.0f) -
           (keys[static_cast<unsigned char>(minus)] ? 1.0f : 0.0f);
}

// A stick's deflection past the dead zone, rescaled to 0..1 so it starts from nothing.
float pastDeadZone(float deflection, float deadZone)
{
    const float magnitude = std::min(std::fabs(deflection), 1.0f);
    if (!(magnitude > deadZone)) // also catches NaN from a confused driver
        return 0.0f;
    return std::copysign((magnitude - deadZone) / (1.0f - deadZone), deflection);
}

// A trigger's travel 0..1 from its -1..1 axis, or the shoulder button above it.
float lift(float trigger, bool shoulder)
{
    return shoulder ? 1.0f : pastDeadZone((trigger + 1.0f) * 0.5f, triggerDeadZone);
}

} // namespace

glm::vec3 shipControl(const bool* keys, const GamepadInput& pad)
{
    glm::vec3 control(keyAxis(keys, 'D', 'A'), keyAxis(keys, 'E', 'Q'), keyAxis(keys, 'W', 'S'));
    if (pad.connected) {
        // The dead zone is round, so a stick resting slightly off-centre moves nothing on
        // either axis; past it the deflection keeps its direction.
        const float deflection = std::min(std::hypot(pad.leftX, pad.leftY), 1.0f);
        if (deflection > stickDeadZone) {
            const float scale = pastDeadZone(deflection, stickDeadZone) / deflection;
            control.x += pad.leftX * scale;
            control.z -= pad.leftY * scale; // pushing the stick away reads negative
        }
        // Right goes up as E does, left down as Q does: the chase camera shares the ship's up,
        // so the ship's up is up on the screen.
        control.y += lift(pad.rightTrigger, pad.rightShoulder) - lift(pad.leftTrigger, pad.leftShoulder);
    }
    return glm::clamp(control, glm::vec3(-1.0f), glm::vec3(1.0f));
}

GamepadInput gamepadFromLayout(const float (&axes)[gamepadAxisCount],
                               const unsigned char (&buttons)[gamepadButtonCount])
{
    GamepadInput pad;
    pad.connected = true;
    pad.leftX = axes[leftXAxis];
    pad.leftY = axes[leftYAxis];
    pad.leftTrigger = axes[leftTriggerAxis];
    pad.rightTrigger = axes[rightTriggerAxis];
    pad.leftShoulder = buttons[leftShoulderButton] != 0;
    pad.rightShoulder = buttons[rightShoulderButton] != 0;
    pad.start = buttons[startButton] != 0;
    return pad;
}

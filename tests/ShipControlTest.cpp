#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <glm/geometric.hpp>

#include "ShipControl.h"

namespace {

struct Keys {
    bool held[1024] = {};
    Keys& with(char key)
    {
        held[static_cast<unsigned char>(key)] = true;
        return *this;
    }
};

GamepadInput stick(float x, float y)
{
    GamepadInput pad;
    pad.connected = true;
    pad.leftX = x;
    pad.leftY = y;
    return pad;
}

TEST(ShipControl, KeysKeepTheirMeaning)
{
    EXPECT_EQ(shipControl(Keys().with('W').held, {}), glm::vec3(0, 0, 1));
    EXPECT_EQ(shipControl(Keys().with('S').with('A').held, {}), glm::vec3(-1, 0, -1));
    EXPECT_EQ(shipControl(Keys().with('E').held, {}), glm::vec3(0, 1, 0));
    EXPECT_EQ(shipControl(Keys().with('W').with('S').with('Q').held, {}), glm::vec3(0, -1, 0));
    // Two axes together stay diagonal, as the keys always flew.
    EXPECT_EQ(shipControl(Keys().with('W').with('D').held, {}), glm::vec3(1, 0, 1));
}

TEST(ShipControl, ARestingOrDriftingStickMovesNothing)
{
    const Keys none;
    for (const GamepadInput& pad : {stick(0.0f, 0.0f), stick(0.15f, 0.0f), stick(-0.12f, 0.12f), stick(0.0f, -0.19f)})
        EXPECT_EQ(shipControl(none.held, pad), glm::vec3(0.0f)) << pad.leftX << ", " << pad.leftY;
    // A disconnected pad is ignored whatever its last axes said.
    GamepadInput unplugged = stick(1.0f, -1.0f);
    unplugged.connected = false;
    EXPECT_EQ(shipControl(none.held, unplugged), glm::vec3(0.0f));
    // Garbage from a driver is no deflection.
    EXPECT_EQ(shipControl(none.held, stick(std::numeric_limits<float>::quiet_NaN(), 0.0f)), glm::vec3(0.0f));
}

TEST(ShipControl, StickPastTheDeadZoneFliesSmoothlyFromNothingToFull)
{
    const Keys none;
    // Pushed away is forward; just past the dead zone is barely moving, not a jump.
    EXPECT_NEAR(shipControl(none.held, stick(0.0f, -1.0f)).z, 1.0f, 1e-6f);
    EXPECT_NEAR(shipControl(none.held, stick(0.0f, -0.21f)).z, 0.0125f, 1e-4f);
    EXPECT_NEAR(shipControl(none.held, stick(0.0f, -0.6f)).z, 0.5f, 1e-5f);
    EXPECT_NEAR(shipControl(none.held, stick(1.0f, 0.0f)).x, 1.0f, 1e-6f);
    EXPECT_NEAR(shipControl(none.held, stick(0.0f, 1.0f)).z, -1.0f, 1e-6f);
    // A diagonal keeps its direction.
    const glm::vec3 diagonal = shipControl(none.held, stick(0.5f, -0.5f));
    EXPECT_NEAR(diagonal.x, diagonal.z, 1e-6f);
}

TEST(ShipControl, KeysAndStickTogetherAreNeverFasterThanEitherAlone)
{
    const glm::vec3 both = shipControl(Keys().with('W').held, stick(0.0f, -1.0f));
    EXPECT_EQ(both, glm::vec3(0, 0, 1));
    // Opposing inputs cancel rather than the stronger one winning outright.
    EXPECT_NEAR(shipControl(Keys().with('W').held, stick(0.0f, 0.6f)).z, 0.5f, 1e-5f);
    // An overdriven stick (some report a little past 1) is still full speed.
    EXPECT_NEAR(glm::length(shipControl(Keys().held, stick(0.0f, -1.3f))), 1.0f, 1e-6f);
}

TEST(ShipControl, TriggersAndShouldersRiseAndSink)
{
    const Keys none;
    GamepadInput pad = stick(0.0f, 0.0f);
    EXPECT_EQ(shipControl(none.held, pad).y, 0.0f) << "triggers at rest read -1";
    pad.rightTrigger = 1.0f; // up, as E goes
    EXPECT_EQ(shipControl(none.held, pad), shipControl(Keys().with('E').held, {}));
    pad.leftShoulder = true;
    EXPECT_NEAR(shipControl(none.held, pad).y, 0.0f, 1e-6f);
    pad.rightTrigger = -0.85f; // a trigger barely touched
    EXPECT_EQ(shipControl(none.held, pad), shipControl(Keys().with('Q').held, {}));
    pad.leftShoulder = false;
    pad.leftTrigger = 0.0f; // half way
    EXPECT_NEAR(shipControl(none.held, pad).y, -0.4f / 0.9f, 1e-5f);
    pad.leftShoulder = true;
    EXPECT_EQ(shipControl(Keys().with('Q').held, pad).y, -1.0f);
}

TEST(ShipControl, EachStickTriggerAndShoulderOfAStandardPadMovesLikeItsKey)
{
    struct Case {
        int axis;           // pushed to `value`, or -1
        float value;
        int button;         // pressed, or -1
        char key;
    };
    const Case cases[] = {{0, 1.0f, -1, 'D'}, {0, -1.0f, -1, 'A'}, {1, -1.0f, -1, 'W'}, {1, 1.0f, -1, 'S'},
                          {4, 1.0f, -1, 'Q'}, {5, 1.0f, -1, 'E'}, {-1, 0.0f, 4, 'Q'}, {-1, 0.0f, 5, 'E'}};
    for (const Case& c : cases) {
        float axes[gamepadAxisCount] = {0.0f, 0.0f, 0.0f, 0.0f, -1.0f, -1.0f}; // triggers rest at -1
        unsigned char buttons[gamepadButtonCount] = {};
        if (c.axis >= 0)
            axes[c.axis] = c.value;
        if (c.button >= 0)
            buttons[c.button] = 1;
        const GamepadInput pad = gamepadFromLayout(axes, buttons);
        EXPECT_TRUE(pad.connected);
        EXPECT_EQ(shipControl(Keys().held, pad), shipControl(Keys().with(c.key).held, {}))
            << "axis " << c.axis << " at " << c.value << ", button " << c.button;
    }
    float resting[gamepadAxisCount] = {0.0f, 0.0f, 0.0f, 0.0f, -1.0f, -1.0f};
    unsigned char startOnly[gamepadButtonCount] = {};
    startOnly[7] = 1;
    EXPECT_TRUE(gamepadFromLayout(resting, startOnly).start);
    startOnly[7] = 0;
    startOnly[9] = 1; // the left stick's click
    EXPECT_FALSE(gamepadFromLayout(resting, startOnly).start);
    // The right stick and the face and other buttons fly nothing.
    float axes[gamepadAxisCount] = {0.0f, 0.0f, 1.0f, 1.0f, -1.0f, -1.0f};
    unsigned char buttons[gamepadButtonCount];
    std::fill(std::begin(buttons), std::end(buttons), static_cast<unsigned char>(1));
    buttons[4] = buttons[5] = 0;
    EXPECT_EQ(shipControl(Keys().held, gamepadFromLayout(axes, buttons)), glm::vec3(0.0f));
}

} // namespace

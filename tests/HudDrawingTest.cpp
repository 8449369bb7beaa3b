#include "HudDrawing.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Controls.h"
#include "HighScoreTable.h"
#include "Object.h"
#include "RenderResources.h"
#include "Settings.h"
#include "GlTestSupport.h"

namespace {

// Characters drawn while `action` runs: every byte with a glyph is one two-triangle quad.
unsigned int glyphsDrawn(const std::function<void()>& action)
{
    return countPrimitives(GL_PRIMITIVES_GENERATED, action) / 2;
}

} // namespace

TEST(HudDrawing, DrawsTheComposedLinesFromTheGameGlobals)
{
    ensureGlContext();
    // The game's own text shaders, so a fault in them shows here as it would on screen.
    textRenderer.init(runDirectory() + "/shaders/text.vert", runDirectory() + "/shaders/text.frag");
    settings.width = 1280;
    settings.height = 720;
    FrameView frame;
    frame.width = 1280;
    frame.height = 720;

    // No ship yet: no invulnerability line, and no crash.
    deleteAllObjects();
    const unsigned int withoutShip = glyphsDrawn([&frame] { drawHud(frame, 3); });
    EXPECT_GT(withoutShip, 100u);

    Object* ship = new Object;
    ship->invulnerableTime = 2.0f;
    sceneObjects.push_back(ship);
    const unsigned int invulnerable = glyphsDrawn([&frame] { drawHud(frame, 3); });
    EXPECT_EQ(invulnerable - withoutShip, std::string("Invulnerable!! 20").size());
    deleteAllObjects();
    // F2 as the frame saw it, whatever the toggle says by the time the HUD is drawn.
    showFrameStats = true;
    frame.showFrameStats = false;
    EXPECT_LT(glyphsDrawn([&frame] { drawHud(frame, 3); }), withoutShip);

    EXPECT_EQ(glyphsDrawn([] { drawMessage(EndMessage::notEnoughFuel, 1280, 720); }),
              std::string("NOT ENOUGH FUEL").size());
    HighScoreTable table;
    table.entries = {{"Ace", 1.0f}, {"Pilot", 2.0f}};
    EXPECT_EQ(glyphsDrawn([&table] { drawScoreTable(table, textRenderer, 1280, 720); }),
              std::string("Pilot 2.000000Ace 1.000000").size());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

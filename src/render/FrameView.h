// Everything one frame draws from, taken once at its start and handed to every pass, so a
// pass reads no toggle, size or camera of its own and a test can draw any frame it describes.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "Frustum.h"
#include "ObjectDrawing.h"

struct FrameView {
    glm::vec3 cameraPosition{0.0f};
    glm::vec3 viewDirection{0.0f, 0.0f, 1.0f};
    glm::mat4 projection{1.0f};
    glm::mat4 view{1.0f};
    FrustumPlanes planes{};     // built every frame, culling on or off
    Light light;
    int width = 0;              // window size in pixels
    int height = 0;
    float frameTime = 0.0f;     // seconds; advances the particles and is shown by the HUD
    bool showFrameStats = true; // F2: frame time and toggles on the HUD
    bool wireframe = false;     // F3: objects as lines
    bool hdrEnabled = true;     // F6: scene into the HDR framebuffer, then post-processing
    bool bloomEnabled = true;   // F7: blur the bright parts and add them
    bool frustumCulling = false; // F8: skip objects outside the view
    bool collisionsEnabled = true; // F4: shown on the HUD; the rules read their own
    bool paused = false;        // "Paused" over the picture
};

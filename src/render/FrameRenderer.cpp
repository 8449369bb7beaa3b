#include "FrameRenderer.h"

#include <GL/glew.h>

#include <type_traits>

#include "AppState.h"
#include "Camera.h"
#include "Controls.h"
#include "Frustum.h"
#include "GameRules.h"
#include "HudDrawing.h"
#include "Object.h"
#include "ObjectDrawing.h"
#include "PostProcessing.h"
#include "Scene.h"
#include "Settings.h"

FramePassObserver framePassObserver = nullptr;

namespace {

// What every pass of one frame shares; taken from the camera and the rules once at its start.
struct FrameView {
    glm::vec3 cameraPosition;
    glm::vec3 viewDirection;
    glm::mat4 projection;
    glm::mat4 view;
    FrustumPlanes planes;
    Light light;
};

bool isVisible(const Object& object, const FrameView& frame)
{
    return shouldDraw(object, frame.cameraPosition, frame.viewDirection, frame.planes, frustumCulling);
}

FrameView captureFrameView()
{
    FrameView frame;
    frame.cameraPosition = camera.getPosition();
    frame.viewDirection = camera.getFront();
    frame.projection = camera.getProjectionMatrix();
    frame.view = camera.getViewMatrix();
    // Built every frame, culling on or off, so F8 acts on the very next frame.
    const CornerRays rays = computeCornerRays(static_cast<float>(settings.width),
                                              static_cast<float>(settings.height), frame.view,
                                              frame.projection);
    frame.planes = computeFrustumPlanes(frame.cameraPosition, rays);
    frame.light = {lightPosition, lightColor};
    return frame;
}

void draw(const Object& object, const FrameView& frame)
{
    drawObject(object, pbrShader, frame.view, frame.projection, frame.cameraPosition, frame.light);
}

// Ship, planet, star and asteroids with PBR shading into the scene framebuffer (HDR or the
// window), cleared first; returns how many asteroids were drawn, for the HUD.
int objectPass(const FrameView& frame)
{
    glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_LINE : GL_FILL);
    glBindFramebuffer(GL_FRAMEBUFFER, hdrEnabled ? hdrFramebuffer : 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    // The PBR shader tone-maps by itself when it writes straight to the window.
    pbrShader.use();
    glUniform1i(glGetUniformLocation(pbrShader.getId(), "hdr_enabled"), hdrEnabled ? 1 : 0);

    for (const Object* object : sceneObjects) {
        if (isVisible(*object, frame))
            draw(*object, frame);
    }
    int drawnAsteroids = 0;
    for (const Object* asteroid : asteroids) {
        if (!isVisible(*asteroid, frame))
            continue;
        draw(*asteroid, frame);
        ++drawnAsteroids;
    }
    return drawnAsteroids;
}

// Into the same framebuffer, depth-tested against the objects. Wireframe is for the
// objects only: from here on everything is filled.
void particlePass(const FrameView& frame)
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    particleSystem.draw(frame.view, frame.projection, deltaTime);
}

// Over the finished image; then the rules charge hits, end the game, show messages and the
// score table, so those land on top as well.
void hudPass(int drawnAsteroids)
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_DEPTH_TEST);
    drawHud(drawnAsteroids);
    checkOutcome();
}

// The one place the frame tells the observer where each pass begins and ends.
template <typename Pass>
auto timed(FramePass pass, Pass&& run)
{
    notifyFramePass(pass, true);
    if constexpr (std::is_void_v<decltype(run())>) {
        run();
        notifyFramePass(pass, false);
    } else {
        auto result = run();
        notifyFramePass(pass, false);
        return result;
    }
}

} // namespace

void renderFrame()
{
    const FrameView frame = captureFrameView();
    const int drawnAsteroids = timed(FramePass::objects, [&] { return objectPass(frame); });
    timed(FramePass::particles, [&] { particlePass(frame); });
    if (hdrEnabled) {
        const unsigned int bloom = timed(FramePass::blur, [] { return blurBrightParts(); });
        timed(FramePass::composite, [bloom] { compositeOntoWindow(bloom); });
    }
    timed(FramePass::hud, [drawnAsteroids] { hudPass(drawnAsteroids); });
}

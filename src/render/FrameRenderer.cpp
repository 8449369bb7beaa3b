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
#include "RenderResources.h"
#include "Settings.h"

FramePassObserver framePassObserver = nullptr;

namespace {

bool isVisible(const Object& object, const FrameView& frame)
{
    return shouldDraw(object, frame.cameraPosition, frame.viewDirection, frame.planes,
                      frame.frustumCulling);
}

void draw(const Object& object, const FrameView& frame)
{
    drawObject(object, pbrShader, frame.view, frame.projection, frame.cameraPosition, frame.light);
}

// Ship, planet, star and asteroids with PBR shading into the scene framebuffer (HDR or the
// window), cleared first; returns how many asteroids were drawn, for the HUD.
int objectPass(const FrameView& frame)
{
    glPolygonMode(GL_FRONT_AND_BACK, frame.wireframe ? GL_LINE : GL_FILL);
    glBindFramebuffer(GL_FRAMEBUFFER, frame.hdrEnabled ? hdrFramebuffer : 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    // The PBR shader tone-maps by itself when it writes straight to the window.
    pbrShader.use();
    glUniform1i(glGetUniformLocation(pbrShader.getId(), "hdr_enabled"), frame.hdrEnabled ? 1 : 0);

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
    particleSystem.draw(frame.view, frame.projection, frame.frameTime);
}

// Over the finished image; then the rules charge hits, end the game, show messages and the
// score table, so those land on top as well.
void hudPass(const FrameView& frame, int drawnAsteroids)
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_DEPTH_TEST);
    drawHud(frame, drawnAsteroids);
    drawOutcome(frame);
    if (frame.paused)
        drawPausedLine(frame);
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

FrameView captureFrameView()
{
    FrameView frame;
    frame.cameraPosition = camera.getPosition();
    frame.viewDirection = camera.getFront();
    frame.projection = camera.getProjectionMatrix();
    frame.view = camera.getViewMatrix();
    frame.width = settings.width;
    frame.height = settings.height;
    // Built every frame, culling on or off, so F8 acts on the very next frame.
    const CornerRays rays = computeCornerRays(static_cast<float>(frame.width),
                                              static_cast<float>(frame.height), frame.view,
                                              frame.projection);
    frame.planes = computeFrustumPlanes(frame.cameraPosition, rays);
    frame.light = {lightPosition, lightColor};
    frame.frameTime = deltaTime;
    frame.showFrameStats = showFrameStats;
    frame.wireframe = wireframe;
    frame.hdrEnabled = hdrEnabled;
    frame.bloomEnabled = bloomEnabled;
    frame.frustumCulling = frustumCulling;
    frame.collisionsEnabled = collisionsEnabled;
    return frame;
}

void renderFrame()
{
    renderFrame(captureFrameView());
}

int renderFrame(const FrameView& frame)
{
    const int drawnAsteroids = timed(FramePass::objects, [&] { return objectPass(frame); });
    timed(FramePass::particles, [&] { particlePass(frame); });
    if (frame.hdrEnabled) {
        const unsigned int bloom =
            timed(FramePass::blur, [&] { return blurBrightParts(frame.bloomEnabled); });
        timed(FramePass::composite, [&] { compositeOntoWindow(bloom, frame); });
    }
    timed(FramePass::hud, [&] { hudPass(frame, drawnAsteroids); });
    return drawnAsteroids;
}

#include "FrameRenderer.h"

#include <GL/glew.h>

#include "AppState.h"
#include "Camera.h"
#include "Frustum.h"
#include "GameRules.h"
#include "Hud.h"
#include "Input.h"
#include "Object.h"
#include "PostProcessing.h"
#include "Scene.h"
#include "Settings.h"

FramePassObserver framePassObserver = nullptr;

namespace {

// What every pass of one frame shares; taken from the camera once at the frame's start.
struct FrameView {
    glm::vec3 cameraPosition;
    glm::vec3 viewDirection;
    glm::mat4 projection;
    glm::mat4 view;
    FrustumPlanes planes;
};

bool isVisible(const Object& object, const FrameView& frame)
{
    return shouldDraw(object, frame.cameraPosition, frame.viewDirection, frame.planes, frustumCulling);
}

// Polygon mode, target framebuffer and a cleared, depth-tested canvas for the scene.
void beginScenePass()
{
    glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_LINE : GL_FILL);
    glBindFramebuffer(GL_FRAMEBUFFER, hdrEnabled ? hdrFramebuffer : 0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
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
    return frame;
}

// Ship, planet and star with PBR shading into the scene framebuffer; not counted.
void drawSceneObjects(const FrameView& frame)
{
    for (Object* object : sceneObjects) {
        if (isVisible(*object, frame))
            object->drawObject(pbrShader, frame.view, frame.projection, frame.cameraPosition);
    }
}

// Asteroids into the same framebuffer; returns how many were drawn, for the HUD.
int drawAsteroids(const FrameView& frame)
{
    int drawn = 0;
    for (Object* asteroid : asteroids) {
        if (!isVisible(*asteroid, frame))
            continue;
        asteroid->drawObject(pbrShader, frame.view, frame.projection, frame.cameraPosition);
        ++drawn;
    }
    return drawn;
}

} // namespace

bool shouldDraw(const Object& object, const glm::vec3& cameraPosition, const glm::vec3& viewDirection,
                const FrustumPlanes& planes, bool culling)
{
    if (!culling)
        return true;
    if (isBehindCamera(cameraPosition, viewDirection, object.position))
        return false;
    return sphereInFrustum(object.position, object.scale * object.radius, planes);
}

void renderFrame()
{
    // Scene framebuffer (HDR or the window), cleared, depth test on.
    notifyFramePass(FramePass::objects, true);
    beginScenePass();
    // Camera matrices and frustum planes for every pass of this frame.
    const FrameView frame = captureFrameView();
    // The PBR shader tone-maps by itself when it writes straight to the window.
    pbrShader.use();
    glUniform1i(glGetUniformLocation(pbrShader.getId(), "hdr_enabled"), hdrEnabled ? 1 : 0);
    drawSceneObjects(frame);
    const int drawnAsteroids = drawAsteroids(frame);
    notifyFramePass(FramePass::objects, false);
    // Wireframe is for the objects only; particles, post-processing and text stay filled.
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    // Particles into the scene framebuffer, depth-tested against the objects.
    notifyFramePass(FramePass::particles, true);
    particleSystem.draw(frame.view, frame.projection, deltaTime);
    notifyFramePass(FramePass::particles, false);
    // Bloom, composite onto the window and exposure adaptation.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_DEPTH_TEST);
    if (hdrEnabled)
        runPostProcessing();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    notifyFramePass(FramePass::hud, true);
    drawHud(drawnAsteroids);
    // Charges hits, ends the game, shows messages and the score table.
    checkOutcome();
    notifyFramePass(FramePass::hud, false);
}

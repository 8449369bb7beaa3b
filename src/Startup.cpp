#include "Startup.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "Camera.h"

void applyGameWindowHints(int refreshRate)
{
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_REFRESH_RATE, refreshRate);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_SAMPLES, 4);
}

void setInitialGlState(int width, int height)
{
    glViewport(0, 0, width, height);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void setCameraDefaults(int width, int height)
{
    camera.setProjection(width, height, 45.0f);
    camera.setFront(glm::vec3(0.0f, 0.0f, 1.0f));
    camera.setUp(glm::vec3(0.0f, 1.0f, 0.0f));
    camera.setPosition(glm::vec3(0.0f, 1.0f, -3.0f));
}

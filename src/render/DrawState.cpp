#include "DrawState.h"

#include <GL/glew.h>

void setDrawState(int width, int height)
{
    glViewport(0, 0, width, height);
    glEnable(GL_DEPTH_TEST);
    // The HUD text and the particles are drawn over the scene by their alpha.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

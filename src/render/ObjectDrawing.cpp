// Objects through the PBR program: one draw per shape, the maps on units 0-4.
#include "ObjectDrawing.h"

#include <GL/glew.h>
#include <glm/gtc/type_ptr.hpp>

#include "ShaderProgram.h"

void drawObject(const Object& object, const ShaderProgram& program, const glm::mat4& view,
                const glm::mat4& projection, glm::vec3 cameraPosition, const Light& light)
{
    program.use();
    const GLuint id = program.getId();
    const glm::mat4 model = object.modelMatrix();
    glUniformMatrix4fv(glGetUniformLocation(id, "model"), 1, GL_FALSE, glm::value_ptr(model));
    glUniformMatrix4fv(glGetUniformLocation(id, "view"), 1, GL_FALSE, glm::value_ptr(view));
    glUniformMatrix4fv(glGetUniformLocation(id, "projection"), 1, GL_FALSE, glm::value_ptr(projection));
    glUniform3fv(glGetUniformLocation(id, "lightPosition"), 1, glm::value_ptr(light.position));
    glUniform3fv(glGetUniformLocation(id, "camPos"), 1, glm::value_ptr(cameraPosition));
    glUniform3fv(glGetUniformLocation(id, "lightColor"), 1, glm::value_ptr(light.color));

    static const char* const samplerNames[materialSlotCount] = {"albedoMap", "normalMap", "metallicMap",
                                                                "roughnessMap", "aoMap"};
    for (GLint unit = 0; unit < static_cast<GLint>(materialSlotCount); ++unit)
        glUniform1i(glGetUniformLocation(id, samplerNames[unit]), unit);
    for (GLuint unit = 0; unit < materialSlotCount; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, object.textures[unit]);
    }

    for (const MeshShape& meshShape : object.shapes) {
        glBindVertexArray(meshShape.vao);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(meshShape.vertexCount()));
        glBindVertexArray(0);
    }
}

// GL and GLFW calls the game makes that Emscripten's WebGL 2 and GLFW leave out, done the
// way a browser can.
mergeInto(LibraryManager.library, {
  // Wireframe needs WEBGL_polygon_mode, which not every browser has; without it the picture
  // stays filled and the console says so once.
  glPolygonMode__deps: ['$GL'],
  glPolygonMode: function(face, mode) {
    var gl = GLctx;
    if (gl.orbelunePolygonMode === undefined)
      gl.orbelunePolygonMode = gl.getExtension('WEBGL_polygon_mode');
    var extension = gl.orbelunePolygonMode;
    if (extension) {
      extension.polygonModeWEBGL(face, mode);
    } else if (mode == 0x1B01 /* GL_LINE */ && !gl.orbeluneToldNoWireframe) {
      gl.orbeluneToldNoWireframe = true;
      if (Module.orbeluneShow) Module.orbeluneShow('Wireframe is not available in this browser.\n');
      else out('Wireframe is not available in this browser.');
    }
  },
  // A page cannot take the screen on its own (the browser allows it only from a click), so
  // full screen leaves the canvas where it is.
  glfwSetWindowMonitor: function(window, monitor, x, y, width, height, refreshRate) {},
});
